#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QList>
#include <QString>

#include <memory>

class ByteCharacters;

// Turns the bytes of one encoding into UTF-16 a call at a time, as Qt's
// QStringDecoder does: a character cut by the end of a call waits for the next.
class TextDecoder {
public:
    virtual ~TextDecoder() = default;
    // Room for the text of `bytes` more bytes in one call.
    virtual qsizetype requiredSpace(qsizetype bytes) const = 0;
    // Decodes to `out`, which has requiredSpace() free units, and returns the
    // end of what was written.
    virtual QChar* appendToBuffer(QChar* out, QByteArrayView bytes) = 0;
    // Set once a strict decoder met bytes it cannot map; stays set.
    virtual bool hasError() const = 0;
    // Where the input so far ends inside a character whose bytes can still
    // begin one, forgets those bytes and returns true; false, forgetting
    // nothing, otherwise, and always for a decoder that cannot tell.
    virtual bool dropCutCharacter() { return false; }

    // All of `bytes` as text.
    QString decode(QByteArrayView bytes);
};

// Tells, for the same calls, what a strict decoder's hasError() tells, without
// writing any text.
class TextValidator {
public:
    virtual ~TextValidator() = default;
    virtual void append(QByteArrayView bytes) = 0;
    virtual bool hasError() const = 0;
    // As TextDecoder::dropCutCharacter().
    virtual bool dropCutCharacter() = 0;
};

// One encoding that text files may be in: one row of the codec table. Adding
// an encoding is one row and, where Qt's converter is not good enough, one
// decoder.
struct TextCodec {
    // Qt's name for it.
    QByteArray name;
    // Whether a whole file is best kept as its bytes and decoded a piece at a
    // time when asked for: lines and their first characters can be found in
    // the bytes (CR, LF and "*" are never part of another character), and the
    // bytes take less room than their text.
    bool (*keptAsBytes)();
    // A decoder, or none where the encoding cannot be decoded here. A strict
    // one tells exactly where Qt's converter meets bytes it cannot map; any
    // other maps them to U+FFFD as Qt's does, with the same text.
    std::unique_ptr<TextDecoder> (*makeDecoder)(const TextCodec& codec, bool strict);
    // Its characters as bytes, for a search that reads lines without decoding
    // them; none where the text must be decoded to be searched.
    std::unique_ptr<ByteCharacters> (*byteCharacters)();
    // A validator, where there is one faster than decoding strictly and
    // throwing the text away.
    std::unique_ptr<TextValidator> (*makeValidator)() = nullptr;
    // Whether the lines of a text that decodes strictly read alike decoded
    // one by one (each after a line end), as in the whole text.
    bool strictLinesDecodeAlone = false;
    // The byte-order mark that the decoders drop at the very start of a text,
    // and only there; empty where none is.
    QByteArrayView byteOrderMark = {};
};

// The row for an encoding by Qt's name; an encoding without a row of its own
// is decoded by Qt's converter and never kept as bytes.
TextCodec textCodec(const QByteArray& name);

// The character set of the user's locale, as the C library reports it.
QByteArray localeCodeset();

// The converters to try for a text file in the system's narrow code page, in
// order. Every one but the last is used only if it decodes the whole file
// without an error; the last one maps what it cannot decode to U+FFFD.
// A UTF-8 (or plain ASCII) locale reads UTF-8 files as such and anything else
// as Big5, the code page the collection format comes from.
QList<QByteArray> narrowCodecsFor(const QByteArray& codeset);
