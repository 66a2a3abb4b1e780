#pragma once

// The real lectoria-cli run as a process: its exit status, stdout and stderr.
#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>

namespace lectoria::testing_support {

inline const char kPdf[] = "%PDF-1.4\n1 0 obj << >> endobj\ntrailer << >>\n%%EOF\n";

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

// The last weekday on or before today: always inside both papers' windows.
inline QDate RecentWeekday() {
    QDate day = QDate::currentDate();
    while (day.dayOfWeek() > 5)
        day = day.addDays(-1);
    return day;
}

// A program's text output; Windows' C runtime ends its lines with CR LF.
inline QString OutputText(const QByteArray& bytes) {
    QString text = QString::fromUtf8(bytes);
#ifdef _WIN32
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
#endif
    return text;
}

inline Outcome Finish(QProcess& process) {
    EXPECT_TRUE(process.waitForFinished(60000)) << process.errorString().toStdString();
    return {process.exitCode(), OutputText(process.readAllStandardOutput()),
            OutputText(process.readAllStandardError())};
}

inline Outcome RunCli(const QProcessEnvironment& env, const QStringList& arguments,
                      const QString& program = QStringLiteral(LECTORIA_CLI_PATH)) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    return Finish(process);
}

} // namespace lectoria::testing_support
