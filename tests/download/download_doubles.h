#pragma once

// The outside world of the Download action: which paths exist, and a download library that
// records every call into it, in order.
#include "download/download_action.h"

#include <QSet>
#include <QStringList>

namespace lectoria::testing_support {

struct FakeFiles final : FileLookup {
    bool Exists(const QString& path) override { return existing.contains(path); }
    QSet<QString> existing{"/presse"};
};

struct RecordingTransfer final : TransferLibrary {
    int IsConnected(const QString&) override {
        calls << "IsConnected";
        return connected;
    }
    void SetOption(const QString& name, const QString& value) override { calls << "SetOption " + name + "=" + value; }
    void ClearFiles() override { calls << "ClearFiles"; }
    int Download(QWidget*, const QString& url, const QString& file) override {
        calls << "Download " + url + " -> " + file;
        return result;
    }
    QString LastError() const override { return {}; }
    int connected = 1;
    int result = TransferResult::Downloaded;
    QStringList calls;
};

} // namespace lectoria::testing_support
