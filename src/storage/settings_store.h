#pragma once

#include "rules/selection_state.h"

#include <QFileDevice>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>

namespace lectoria {

inline const QString kCityValueName = QStringLiteral("Ville");
inline const QString kFolderValueName = QStringLiteral("Chemin");

// The per-user store of the two remembered values. Read gives nothing for a missing value
// (or one that cannot be read); Write reports whether the value reached the store.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<QVariant> Read(const QString& name) = 0;
    virtual bool WriteNumber(const QString& name, quint32 value) = 0;
    virtual bool WriteText(const QString& name, const QString& value) = 0;
};

// The real store: the registry key HKCU\Software\Orvane\Lectoria on Windows,
// ~/.config/Orvane/Lectoria.conf (XDG_CONFIG_HOME honoured) elsewhere.
std::unique_ptr<SettingsStore> MakeUserSettingsStore();

// The same store kept in the INI file at `fileName`, for tools and tests that must not touch
// the user's own settings.
std::unique_ptr<SettingsStore> MakeFileSettingsStore(const QString& fileName);

// The file operations a save of the settings file goes through. A save never writes the file in
// place: it writes a whole new file beside it, brings it to the disk, checks that it holds every
// value, and only then renames it over the old one, so that a failure at any step (a full disk,
// ...) leaves the old file whole.
class SettingsFileSystem {
public:
    virtual ~SettingsFileSystem() = default;
    // A new file `path` (that must not exist yet) holding `bytes`, created with no more than
    // `permissions`; false if any of it failed.
    virtual bool Create(const QString& path, const QByteArray& bytes, QFileDevice::Permissions permissions) = 0;
    // Brings what was written to `path` to the disk.
    virtual bool Sync(const QString& path) = 0;
    // Puts `from` in place of `to` in one step, replacing it, and syncs their folder.
    virtual bool Rename(const QString& from, const QString& to) = 0;
};
SettingsFileSystem& SystemSettingsFileSystem();

// MakeFileSettingsStore with the file operations given, for tests that make one of them fail.
std::unique_ptr<SettingsStore> MakeFileSettingsStore(const QString& fileName, SettingsFileSystem& files);

// What the loader needs of the city list: selecting a row raises the list's Click handler
// (nested), and a row past the end is refused.
class CityListPort {
public:
    virtual ~CityListPort() = default;
    virtual bool SelectRow(int row) = 0; // false when the list refuses the row
    virtual QString CurrentText() const = 0;
    virtual int CurrentRow() const = 0; // -1 when nothing is selected
};

// The folder text box: setting its text raises its Change handler (nested).
class FolderBoxPort {
public:
    virtual ~FolderBoxPort() = default;
    virtual QString Text() const = 0;
    virtual void SetText(const QString& text) = 0;
};

// The stored city index as a 16-bit number: a number, or a text holding one. Nothing for
// a missing value, a text that is not a number, or one outside -32768..32767.
std::optional<qint16> StoredCityIndexFrom(const std::optional<QVariant>& stored);

// Applies the stored city and folder; every step that fails is skipped silently.
void LoadSettings(SelectionState& state, SettingsStore& store, CityListPort& cities, FolderBoxPort& folderBox);

// Write CityIndex to "Ville" / SaveFolder to "Chemin". A failed write shows nothing.
bool StoreCityIndex(const SelectionState& state, SettingsStore& store);
bool StoreSaveFolder(const SelectionState& state, SettingsStore& store);

} // namespace lectoria
