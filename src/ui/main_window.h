#pragma once

#include "download/download_action.h"
#include "download/folder_lock.h"
#include "rules/addresses.h"
#include "rules/ports.h"
#include "rules/selection_state.h"
#include "storage/drive_check.h"
#include "storage/folder_choice.h"
#include "storage/settings_store.h"
#include "transfer/transfer_library.h"
#include "ui/calendar.h"
#include "ui/city_list.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lectoria {

// Everything the window reaches outside itself.
struct MainWindowServices {
    SettingsStore& settings;
    const Clock& clock;
    FolderPicker& picker;
    DriveQuery& drives;
    FileLookup& files;
    TransferLibrary& transfer;
    ArchiveSettings archives;
    MessageSink* messages = nullptr; // null: message boxes on this window
    FolderLocks* locks = nullptr;    // null: the lock files of the folders
};

// frmLctr: the city list, the two papers, the calendar, the folder and the two buttons.
// It lays the controls out and wires their events; the rules live in the operations it calls.
class frmLctr final : public QWidget, private CityListPort, private FolderBoxPort {
    Q_OBJECT
public:
    frmLctr(SelectionState& state, MainWindowServices services);
    ~frmLctr() override;

    SelectionState& state() { return state_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void Wire();
    void Load();

    // The event handlers.
    void OnCityClick();
    void OnFolderChange(const QString& text);
    void OnDayChosen();
    void OnDownload();
    void OnChooseFolder();

    // CityListPort / FolderBoxPort for the settings load and the folder choice.
    bool SelectRow(int row) override;
    QString CurrentText() const override;
    int CurrentRow() const override;
    QString Text() const override;
    void SetText(const QString& text) override;

    SelectionState& state_;
    MainWindowServices services_;
    std::unique_ptr<MessageSink> ownMessages_;
    MessageSink* messages_ = nullptr;

    QLabel* lbl_Journal_ = nullptr;
    CityList* lst_Ville_ = nullptr;
    QLabel* lbl_Ville_ = nullptr;
    MonthCalendar* Calendar1_ = nullptr;
    QPushButton* cmd_DL_ = nullptr;
    QRadioButton* opt_20m_ = nullptr;
    QRadioButton* opt_metro_ = nullptr;
    QLabel* Picture1_ = nullptr;
    QLabel* Picture2_ = nullptr;
    QPushButton* cmd_Open_ = nullptr;
    QLineEdit* txt_ChemFich_ = nullptr;
    QPushButton* cmdAbout_ = nullptr;
};

} // namespace lectoria
