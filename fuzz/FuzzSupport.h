#pragma once

#include "platform/RuntimeError.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// The input as bytes, without a copy.
QByteArray bytesOf(const std::uint8_t* data, std::size_t size);

// Writes the bytes to a file of that name in this process's scratch directory
// and returns its path. Dies when the file cannot be written: every finding
// after that would be about the disk, not the program.
QString writeScratchFile(const QString& name, const QByteArray& bytes);

// Reports a disagreement and aborts, which libFuzzer records as a crash with
// the input that caused it.
[[noreturn]] void mismatch(const char* what);

inline void expect(bool holds, const char* what) {
    if (!holds)
        mismatch(what);
}

// The number of the error a call raised, 0 for none; anything but RuntimeError
// escapes and libFuzzer reports it.
template <typename Call> int errorOf(Call call) {
    try {
        call();
        return 0;
    } catch (const RuntimeError& e) {
        return e.number();
    }
}

} // namespace fuzz
