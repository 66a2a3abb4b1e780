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

} // namespace lectoria::cli
