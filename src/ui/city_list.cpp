#include "ui/city_list.h"

#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace lectoria {

namespace {

// One line of text per entry, as the list's font sets it: the ten cities fit the list's height
// whatever the style adds around an entry (Windows' own style gives each a few pixels more,
// which would push "Toulouse" out of sight behind a scroll bar).
class LineHighEntries final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(option.fontMetrics.height());
        return size;
    }
};

} // namespace

CityList::CityList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new LineHighEntries(this));
}

int CityList::SelectedRow() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : row(items.first());
}

QString CityList::SelectedText() const {
    const QList<QListWidgetItem*> items = selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

void CityList::keyPressEvent(QKeyEvent* event) {
    // While no city is chosen, the cursor the focus put on the first entry is not a choice yet:
    // the first Down chooses the entry under it ("Bordeaux") instead of skipping past it.
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier && selectedItems().isEmpty() &&
        currentIndex().isValid()) {
        const QModelIndex cursor = currentIndex();
        setCurrentIndex(cursor);
        currentChanged(cursor, QModelIndex()); // the cursor stayed, yet a screen reader must hear the choice
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
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
