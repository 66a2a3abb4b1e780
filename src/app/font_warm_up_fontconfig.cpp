#include "font_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace lectoria {

// FcInit() installs the configuration it loads as the current one; fontconfig does that
// atomically, so a concurrent first use elsewhere could only cost a second read, never a fault.
FontConfigurationWarmUp::FontConfigurationWarmUp() : reader_([] { FcInit(); }) {}

void FontConfigurationWarmUp::Wait() {
    if (reader_.joinable())
        reader_.join();
}

} // namespace lectoria
