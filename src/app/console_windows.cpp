#include "console.h"

#include <QIODevice>
#include <QStringDecoder>

#include <cstdio>
#include <memory>

#include <windows.h>

namespace lectoria::cli {

namespace {

// A console window: the stream's UTF-8 is turned back into UTF-16 for WriteConsoleW, which
// shows it whatever the console's code page. A character split between two writes waits in the
// decoder for its end.
class ConsoleDevice final : public QIODevice {
public:
    explicit ConsoleDevice(HANDLE console) : console_(console) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 size) override {
        const QString text = decoder_.decode(QByteArrayView(data, size));
        const auto* characters = reinterpret_cast<const wchar_t*>(text.utf16());
        qsizetype left = text.size();
        while (left > 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(qMin<qsizetype>(left, 8192));
            if (!::WriteConsoleW(console_, characters, chunk, &written, nullptr) || written == 0)
                return -1;
            characters += written;
            left -= written;
        }
        return size;
    }

private:
    HANDLE console_;
    QStringDecoder decoder_{QStringDecoder::Utf8};
};

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}

std::unique_ptr<QTextStream> StreamFor(DWORD which, FILE* file) {
    const HANDLE handle = ::GetStdHandle(which);
    if (!IsConsole(handle))
        return std::make_unique<QTextStream>(file); // a file or a pipe: UTF-8
    // The device outlives the stream: both last as long as the program.
    return std::make_unique<QTextStream>(new ConsoleDevice(handle));
}

// How many programs share this program's console: 1 when Windows opened it for this one alone.
DWORD ProgramsOnTheConsole() {
    DWORD programs[2] = {};
    return ::GetConsoleProcessList(programs, 2);
}

} // namespace

QTextStream& Out() {
    static const std::unique_ptr<QTextStream> stream = StreamFor(STD_OUTPUT_HANDLE, stdout);
    return *stream;
}

QTextStream& Err() {
    static const std::unique_ptr<QTextStream> stream = StreamFor(STD_ERROR_HANDLE, stderr);
    return *stream;
}

bool InATerminal() {
    return IsConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) && ProgramsOnTheConsole() > 1;
}

void CloseOwnConsole() {
    // Whatever the output goes to: a task writing into a file still has its window open.
    if (::GetConsoleWindow() == nullptr || ProgramsOnTheConsole() != 1)
        return;
    Out().flush();
    Err().flush();
    ::FreeConsole(); // the last program on it: the window closes
}

} // namespace lectoria::cli
