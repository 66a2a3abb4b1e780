#pragma once

#include <QCoreApplication>
#include <QIcon>
#include <memory>

namespace lectoria::cli {

// The application object of lectoria-cli: a plain QCoreApplication where the desktop is told of
// a run over D-Bus; on Windows a QApplication, which the taskbar's notification area needs.
std::unique_ptr<QCoreApplication> MakeCliApplication(int& argc, char** argv);

// The icon the notification shows where the program draws it itself (Windows); none elsewhere.
QIcon NotificationIcon();

// Whether the notice stays once the program has ended: the notification service keeps it on
// Linux; the taskbar's message goes with the program's icon on Windows.
bool NoticeOutlivesTheProgram();

} // namespace lectoria::cli
