#pragma once

#include "rules/editions.h"
#include "storage/drive_check.h"
#include "storage/folder_choice.h"
#include "storage/settings_store.h"

#include <map>
#include <utility>
#include <vector>

namespace lectoria::testing {

// Values in memory; every write is logged.
struct FakeStore final : SettingsStore {
    std::map<QString, QVariant> values;
    std::vector<std::pair<QString, QVariant>> writes;
    std::optional<QVariant> Read(const QString& name) override {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<QVariant>(it->second);
    }
    bool Write(const QString& name, const QVariant& value) {
        writes.emplace_back(name, value);
        values[name] = value;
        return true;
    }
    bool WriteNumber(const QString& name, quint32 value) override { return Write(name, value); }
    bool WriteText(const QString& name, const QString& value) override { return Write(name, value); }
};

// The city list as the window wires it: selecting a row runs SelectCity then StoreCityIndex.
struct FakeCityList final : CityListPort {
    SelectionState& state;
    SettingsStore& store;
    int row = -1;
    FakeCityList(SelectionState& s, SettingsStore& st) : state(s), store(st) {}
    bool SelectRow(int r) override {
        if (r < 0 || r >= CityNames().size())
            return false;
        row = r;
        SelectCity(state, CityNames()[r], r);
        StoreCityIndex(state, store);
        return true;
    }
    QString CurrentText() const override { return row < 0 ? "" : CityNames()[row]; }
    int CurrentRow() const override { return row; }
};

// The folder box: a new text runs the Change handler (SaveFolder := text, StoreSaveFolder).
struct FakeFolderBox final : FolderBoxPort {
    SelectionState& state;
    SettingsStore& store;
    QString text;
    FakeFolderBox(SelectionState& s, SettingsStore& st, QString initial) : state(s), store(st), text(initial) {}
    QString Text() const override { return text; }
    void SetText(const QString& t) override {
        if (t == text)
            return;
        text = t;
        state.SaveFolder = text;
        StoreSaveFolder(state, store);
    }
};

struct FakeDrives final : DriveQuery {
    int type = DriveType::Fixed;
    QStringList queried;
    int TypeOf(const QString& root) override {
        queried << root;
        return type;
    }
};

struct FakePicker final : FolderPicker {
    QString answer;
    QStringList titles;
    QString BrowseForFolder(QWidget*, const QString& title) override {
        titles << title;
        return answer;
    }
};

} // namespace lectoria::testing
