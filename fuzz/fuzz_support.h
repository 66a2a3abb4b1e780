#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

namespace lectoria::fuzz {

// A property that must hold for every input: when it does not, the run stops here and
// libFuzzer keeps the input that broke it.
#define LECTORIA_REQUIRE(condition)                                                                                    \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition);                      \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

inline QByteArray TakeBytes(FuzzedDataProvider& input, size_t most) {
    const std::string bytes = input.ConsumeRandomLengthString(most);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline QByteArray RestAsBytes(FuzzedDataProvider& input) {
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Text the way the program receives it from the outside: UTF-8 (invalid sequences replaced).
inline QString TakeText(FuzzedDataProvider& input, size_t most) {
    return QString::fromUtf8(TakeBytes(input, most));
}

} // namespace lectoria::fuzz
