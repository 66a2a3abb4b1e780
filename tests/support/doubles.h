#pragma once

// Doubles of the ports every layer shares: a clock on a fixed day, a message sink that records
// each message and answers from a script, an opener that records what it is given.
#include "rules/ports.h"
#include "update/url_opener.h"

#include <QStringList>
#include <vector>

namespace lectoria::testing_support {

struct FixedClock final : Clock {
    explicit FixedClock(QDate day = {}) : today(day) {}
    QDate Today() const override { return today; }
    QDate today;
};

struct RecordingMessages final : MessageSink {
    int Show(const QString& text, int style, const QString& title) override {
        shown << QStringLiteral("%1|%2|%3").arg(text).arg(style).arg(title);
        return answer;
    }
    QStringList shown; // "text|style|title" of each message
    int answer = kAnswerOk;
};

struct RecordingOpener final : UrlOpener {
    void Open(const QUrl& url) override { opened.push_back(url); }
    bool Available() const override { return available; }
    std::vector<QUrl> opened;
    bool available = true;
};

} // namespace lectoria::testing_support
