#pragma once

#include "text/SimdPath.h"

#include <QByteArrayView>

// Tells whether input is valid UTF-8 exactly as Utf8Decoder's hasError() does
// for the same calls, without writing any text: what choosing an encoding
// needs of a whole file it does not keep.
//
// As with the decoder, a sequence cut at the end of a call waits for the next
// call, and needs only continuation bytes until it is whole.
class Utf8Validator {
public:
    using Path = SimdPath;
    static Path fastestPath() { return fastestSimdPath(); }

    // A path the machine lacks gives way to the fastest it has.
    explicit Utf8Validator(Path path = fastestPath());

    // Takes the next bytes of the input.
    void append(QByteArrayView bytes);

    // Set once the input so far is not valid UTF-8; stays set.
    bool hasError() const { return m_error; }

    // Where the input so far ends inside a character whose bytes can still
    // begin one, forgets those bytes, so that it reads on as if they never
    // came, and returns true; false, forgetting nothing, otherwise.
    bool dropCutCharacter();

private:
    Path m_path;
    bool m_error = false;
    // A sequence cut by the end of the last call.
    uchar m_held[3] = {};
    int m_heldCount = 0;
};

// Whether `bytes`, fewer than a character takes, can begin a valid one: a
// lead byte, then continuation bytes within the ranges its character allows.
bool beginsUtf8Character(QByteArrayView bytes);
