#pragma once

#include "platform/RuntimeError.h"

#include <QtGlobal>

#include <limits>

// Article numbers are signed 16-bit; arithmetic that leaves that range is an
// overflow error rather than a silent wrap.
namespace int16 {

inline qint16 checked(long long value) {
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw RuntimeError::overflow();
    return static_cast<qint16>(value);
}

inline qint16 add(qint16 a, int b) {
    return checked(static_cast<long long>(a) + b);
}

} // namespace int16
