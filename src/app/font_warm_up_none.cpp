#include "font_warm_up.h"

namespace lectoria {

// Without fontconfig the system's font list comes with the platform and costs nothing to
// prepare: nothing to start.
FontConfigurationWarmUp::FontConfigurationWarmUp() = default;

void FontConfigurationWarmUp::Wait() {}

} // namespace lectoria
