#pragma once

#include <QByteArray>
#include <QList>

#include <memory>

// An encoding's characters as they stand in its bytes, for searching whole
// lines without decoding them. A codec row hands one out where its bytes can
// be read a character at a time with the same text as decoding them.
class ByteCharacters {
public:
    struct Character {
        char32_t code = 0;
        // In bytes; 0 where no character starts.
        int length = 0;
    };

    virtual ~ByteCharacters() = default;

    // Every byte sequence that decodes to the code point `c` on its own.
    virtual QList<QByteArray> encodingsOf(char32_t c) const = 0;
    // Whether a character starts at `at` of whole lines beginning at `bytes`:
    // the bytes of a short character may stand inside a longer one. `known`
    // is a place at most `at` known to start one, and the bytes before it are
    // not read; it is moved on to the last such place read, past `at` at
    // most by a character. Asking for places in order with one `known` reads
    // a line once however long it is.
    virtual bool startsCharacter(const uchar* bytes, qsizetype at, qsizetype& known) const = 0;
    // The character at `at`, read as decoding from `at` reads it.
    virtual Character characterAt(const uchar* at, const uchar* end) const = 0;
};

// For bytes that were valid UTF-8 when indexed.
std::unique_ptr<ByteCharacters> utf8ByteCharacters();
// For Big5 read through its decoder's table; none without the table, where
// Qt's converter decodes and no byte can be vouched for.
std::unique_ptr<ByteCharacters> big5ByteCharacters();
