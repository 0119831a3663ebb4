#pragma once

#include "platform/LargeBuffer.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

class QString;

// Receives a text file as it is decoded, in pieces of whole lines: each line in
// a piece ends with CR LF, a lone CR or a lone LF (the file's last line gets an
// LF when it has none), and a CR LF pair never spans two pieces.
class TextSink {
public:
    virtual ~TextSink() = default;
    // The file is read again from its start with another converter: forget
    // everything received so far.
    virtual void restart() = 0;
    virtual void lines(QStringView piece) = 0;
};

// Receives the lines of a text file one by one, without their line ends.
class LineSink : public TextSink {
public:
    virtual void line(QStringView text) = 0;
    void lines(QStringView piece) final;
};

// The file is read in blocks of this size, which keeps the decoded text in the
// cache and the buffers to a few pages: larger ones measured slower, most of
// all on small collections, whose load then pays noticeably for faulting in
// the buffers.
inline constexpr qsizetype NarrowTextBlock = qsizetype(64) << 10;

// CR and LF each end a line (a CR LF pair ends one line). For UTF-16 text and
// for Big5 or UTF-8 bytes alike, where these bytes are never part of another
// character.
template <typename Char> inline bool isLineEnd(Char c) {
    return c == Char('\r') || c == Char('\n');
}

// Where the line that starts at `from` ends (its line end excluded), and where
// the next one starts: after CR LF, a lone CR or a lone LF, or at the end of
// the text for a last line without a line end.
struct LineBounds {
    qsizetype end;
    qsizetype next;
};
template <typename Char>
inline LineBounds lineAt(const Char* data, qsizetype size, qsizetype from) {
    qsizetype end = from;
    while (end < size && !isLineEnd(data[end]))
        ++end;
    if (end == size)
        return {end, end};
    const bool crlf = data[end] == Char('\r') && end + 1 < size && data[end + 1] == Char('\n');
    return {end, end + (crlf ? 2 : 1)};
}
inline LineBounds lineAt(QStringView text, qsizetype from) {
    return lineAt(text.utf16(), text.size(), from);
}

// The character set of the user's locale, as the C library reports it.
QByteArray localeCodeset();

// The converters to try for a text file in the system's narrow code page, in
// order. Every one but the last is used only if it decodes the whole file
// without an error; the last one maps what it cannot decode to U+FFFD.
// A UTF-8 (or plain ASCII) locale reads UTF-8 files as such and anything else
// as Big5, the code page the collection format comes from.
QList<QByteArray> narrowCodecsFor(const QByteArray& codeset);

// Reads a text file in the narrow code page and hands it to the sink.
// CR LF, a lone CR and a lone LF each end a line; a line end at the very end of
// the file adds no empty line. The file is closed when this returns or throws.
// Throws RuntimeError: file not found, or a file access error, also for a file
// that is not a regular one.
void readNarrowTextLines(const QString& path, TextSink& sink);
void readNarrowTextLines(const QString& path, TextSink& sink, const QList<QByteArray>& codecs);

// The same for the first `maxBytes` bytes of a larger file, the last line cut
// where the bytes end; a negative `maxBytes` reads it all.
void readNarrowTextStart(const QString& path, qint64 maxBytes, TextSink& sink);
void readNarrowTextStart(const QString& path, qint64 maxBytes, TextSink& sink,
                         const QList<QByteArray>& codecs);

// A text file in the narrow code page, read whole into memory. Big5 is kept as
// its bytes and decoded a piece at a time when asked for, which spares decoding
// and holding a large collection as text it may never show; in Big5 the bytes
// of CR, LF and "*" are always those characters, never part of another, so
// lines and their first characters can be found in the bytes. Any other
// converter's text is decoded at once.
class WholeNarrowText {
public:
    bool isBig5Bytes() const { return m_big5Bytes; }
    // In bytes for Big5 bytes, in UTF-16 units otherwise.
    qsizetype size() const { return m_size; }
    const char* bytes() const { return m_buffer.data(); }
    const char16_t* units() const { return reinterpret_cast<const char16_t*>(m_buffer.data()); }

    // The text of [from, to), which starts a line and ends after a line end or
    // at the end of the text, exactly as decoding the whole file gives it.
    QString text(qsizetype from, qsizetype to) const;

    // Hands back the memory past the text. Splitting its last huge page makes
    // the next walk over that page fault again, so call it once the text has
    // been walked.
    void releaseUnused();

private:
    friend WholeNarrowText readWholeNarrowText(const QString&, const QList<QByteArray>&);
    LargeBuffer m_buffer;
    qsizetype m_size = 0;
    bool m_big5Bytes = false;
};

// Reads a whole text file with the converters given, as readNarrowTextLines
// does; a last line without a line end gets an LF. Throws like it, and
// std::bad_alloc when the file does not fit in memory.
WholeNarrowText readWholeNarrowText(const QString& path, const QList<QByteArray>& codecs);
