// The readers of stored numbers and flags on arbitrary text: the number prefix
// never fails and stays finite; the strict readers give a value or one of
// their two errors, and a single written back reads as the same single.
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "platform/numeric.h"
#include "platform/runtimeerror.h"

using namespace vantelo;

namespace {

template <typename F>
void expectValueOrError(F&& read) {
    try {
        read();
    } catch (const RuntimeError& e) {
        if (e.number() != ErrTypeMismatch && e.number() != ErrOverflow)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!std::isfinite(numberPrefix(text)))
        std::abort();
    expectValueOrError([&] { textToBoolean(text); });
    expectValueOrError([&] { textToInt32(text); });
    expectValueOrError([&] {
        const float value = textToSingle(text);
        if (!std::isfinite(value) || textToSingle(singleToText(value)) != value)
            std::abort();
    });
    return 0;
}
