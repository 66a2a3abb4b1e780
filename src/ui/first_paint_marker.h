#pragma once

// Start-up timing (bench/startup): installed on a window, it prints the monotonic clock in
// nanoseconds once the window has painted for the first time, and ends the program. Both
// lectoria (with LECTORIA_MESURE_DEMARRAGE set) and the benchmark's bare window use it.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace lectoria {

class FirstPaintMarker final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // After this paint pass has finished and reached the screen.
            QTimer::singleShot(0, qApp, [] {
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                std::printf("%lld\n", static_cast<long long>(std::chrono::nanoseconds(now).count()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

} // namespace lectoria
