#include "ui/city_list.h"

namespace lectoria {

CityList::CityList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

int CityList::SelectedRow() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.first());
}

QString CityList::SelectedText() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

QItemSelectionModel::SelectionFlags CityList::selectionCommand(const QModelIndex& index, const QEvent* event) const {
    // A press, drag or release away from every entry (the blank strip under the last city, or a
    // drag past the end of the list) would select nothing, that is clear the chosen city.
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    const QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (command.testFlag(QItemSelectionModel::Deselect) || command.testFlag(QItemSelectionModel::Toggle))
        return QItemSelectionModel::NoUpdate;
    return command;
}

} // namespace lectoria
