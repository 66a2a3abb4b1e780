#pragma once

#include <QListWidget>

namespace lectoria {

// The city list. Its choice is the selected entry, never the focus cursor alone: the view moves
// its cursor onto the first entry when it gets the focus, and that must not choose "Bordeaux".
// The user cannot clear the selection (Ctrl+click, a click or drag off the entries); only another
// entry replaces it.
class CityList final : public QListWidget {
    Q_OBJECT
public:
    explicit CityList(QWidget* parent);
    int SelectedRow() const; // -1 when no entry is selected
    QString SelectedText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
};

} // namespace lectoria
