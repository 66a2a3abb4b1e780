#pragma once

// Doubles for the update check and the About window: a message sink that answers from a
// script and an opener that records what it is given.
#include "rules/ports.h"
#include "update/url_opener.h"

#include <QString>
#include <QUrl>
#include <vector>

namespace lectoria::testing_support {

struct ShownMessage {
    QString text;
    int style = 0;
    QString title;
};

class RecordingSink final : public MessageSink {
public:
    int Show(const QString& text, int style, const QString& title) override {
        shown.push_back({text, style, title});
        return answer;
    }
    int answer = kAnswerNo;
    std::vector<ShownMessage> shown;
};

class RecordingOpener final : public UrlOpener {
public:
    void Open(const QUrl& url) override { opened.push_back(url); }
    std::vector<QUrl> opened;
};

} // namespace lectoria::testing_support
