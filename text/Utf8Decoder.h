#pragma once

#include "text/SimdPath.h"

#include <QByteArrayView>
#include <QChar>

// A UTF-8 decoder for input that must be valid throughout, as the data file is
// when it is read as UTF-8 at all: it tells exactly when Qt's UTF-8 converter
// (default flags) would report an error, and until then gives exactly its text,
// much faster. After an error it stops writing, since the caller then reads
// the input another way.
//
// Like Qt's converter, it takes a sequence cut at the end of a call as waiting
// for the next call, not as an error, unless a byte already there cannot
// continue it; an overlong form, a surrogate or a code point past U+10FFFF
// counts as an error only once the sequence is complete. Noncharacters such as
// U+FFFE are text. A byte-order mark at the very start of the input is dropped;
// one later is kept as U+FEFF.
class Utf8Decoder {
public:
    // The ways through the input give the same text and errors; AVX2 uses
    // popcnt for mixed text.
    using Path = SimdPath;
    static Path fastestPath() { return fastestSimdPath(); }

    // A path the machine lacks gives way to the fastest it has.
    explicit Utf8Decoder(Path path = fastestPath());

    // Room for the text of `bytes` more bytes in one call, a sequence held from
    // the last call included: one unit a byte, and one more for a four-byte
    // sequence whose last byte alone comes in this call.
    static qsizetype requiredSpace(qsizetype bytes) { return bytes + 1; }

    // Decodes to `out`, which has requiredSpace() free units, and returns the
    // end of what was written.
    QChar* appendToBuffer(QChar* out, QByteArrayView bytes);

    // Set once the input so far is not valid UTF-8 as Qt's converter judges it;
    // stays set.
    bool hasError() const { return m_error; }

    // Where the input so far ends inside a character whose bytes can still
    // begin one, forgets those bytes, so that it reads on as if they never
    // came, and returns true; false, forgetting nothing, otherwise.
    bool dropCutCharacter();

private:
    Path m_path;
    bool m_error = false;
    // Whether the first character has been read, so that a byte-order mark
    // is no longer dropped.
    bool m_started = false;
    // A sequence cut by the end of the last call.
    uchar m_held[3] = {};
    int m_heldCount = 0;
};
