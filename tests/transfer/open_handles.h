// How many files, sockets and other kernel objects this process holds open: what a download
// that forgot to close something would leave one more of each time.
#pragma once

namespace lectoria::testing_support {

long OpenHandleCount();

} // namespace lectoria::testing_support
