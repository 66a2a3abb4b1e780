#pragma once

#include <thread>

namespace lectoria {

// Reading the system's font configuration (fontconfig parses some fifty XML files and maps the
// font caches) is about a tenth of the window's start-up, and it needs no display. Started first
// thing in main(), it runs on a second thread while the application object connects to the
// display and loads its plugins; Wait() before the first widget measures a text, so that Qt finds
// the configuration ready instead of reading it a second time.
class FontConfigurationWarmUp {
public:
    FontConfigurationWarmUp();
    void Wait();

private:
    std::jthread reader_;
};

} // namespace lectoria
