// The process's handles, counted in the system's handle table. (GetProcessHandleCount answers 0
// under Wine, and /proc/self/fd there would count Wine's own Unix descriptors, whose cache comes
// and goes by a dozen whatever the program does.)
#include "open_handles.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

namespace lectoria::testing_support {

namespace {

// SystemHandleInformation's layout, which winternl.h does not declare.
struct HandleEntry {
    USHORT ownerProcessId;
    USHORT creatorBackTraceIndex;
    UCHAR objectType;
    UCHAR attributes;
    USHORT handle;
    PVOID object;
    ACCESS_MASK grantedAccess;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

} // namespace

long OpenHandleCount() {
    std::vector<unsigned char> buffer(1 << 16);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch)
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    if (status != 0)
        return -1;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const auto self = static_cast<USHORT>(GetCurrentProcessId());
    long count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        count += table->entries[i].ownerProcessId == self;
    return count;
}

} // namespace lectoria::testing_support
