#pragma once

#include "text/LargeBuffer.h"
#include "text/TextCodecs.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringView>

#include <optional>

class QString;

// The bytes of a text file, handed over a block at a time by whoever reads
// the file; the text layer itself opens none. What a read throws passes
// through.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `max` bytes into `into`; 0 at the end.
    virtual qsizetype read(char* into, qsizetype max) = 0;
    // Back to the first byte, for the next converter to try.
    virtual void rewind() = 0;
    // How many bytes there are likely to be, to size buffers; may be wrong.
    virtual qint64 sizeHint() const = 0;
};

// Bytes already in memory; they must outlive the source.
class BytesSource final : public ByteSource {
public:
    explicit BytesSource(QByteArrayView bytes) : m_bytes(bytes) {}
    qsizetype read(char* into, qsizetype max) override;
    void rewind() override { m_at = 0; }
    qint64 sizeHint() const override { return m_bytes.size(); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

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
// for bytes alike, where these bytes are never part of another character.
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

// Decodes a text in the narrow code page with the converters given (see
// narrowCodecsFor()) and hands it to the sink. CR LF, a lone CR and a lone LF
// each end a line; a line end at the very end adds no empty line. A strict
// converter still counts when the text ends inside a character whose bytes so
// far can begin one (a file being written): that character reads as U+FFFD.
// False when no converter could be opened at all.
bool decodeNarrowLines(ByteSource& bytes, TextSink& sink, const QList<QByteArray>& codecs);

// A text file in the narrow code page, read whole into memory. In an encoding
// kept as bytes (see TextCodec) it stays bytes, decoded a piece at a time when
// asked for: that spares decoding and holding a large collection as text it
// may never show. Any other is decoded at once.
class WholeNarrowText {
public:
    // Whether the text is held as the file's bytes, in which lines and their
    // first characters can be found as they are.
    bool keptAsBytes() const { return m_keptAs.has_value(); }
    // In bytes when kept as bytes, in UTF-16 units otherwise.
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
    friend std::optional<WholeNarrowText>
    decodeWholeNarrowText(ByteSource&, const QList<QByteArray>&, LargeBuffer);
    LargeBuffer m_buffer;
    qsizetype m_size = 0;
    // The encoding of the bytes kept.
    std::optional<TextCodec> m_keptAs;
};

// Reads a whole text with the converters given, as decodeNarrowLines() does;
// a last line without a line end gets an LF. None when no converter could be
// opened at all. Throws std::bad_alloc when the text does not fit in memory.
// The text goes into `reserved` where that has room for it.
std::optional<WholeNarrowText> decodeWholeNarrowText(ByteSource& bytes,
                                                     const QList<QByteArray>& codecs,
                                                     LargeBuffer reserved = {});

// Receives the bytes of a text file in pieces of whole lines, cut where
// decodeNarrowLines() cuts them, each with where it starts in the file.
class BytePieceSink {
public:
    virtual ~BytePieceSink() = default;
    virtual void piece(QByteArrayView lines, qint64 at) = 0;
};

// What scanNarrowText() found.
struct NarrowTextScan {
    // The converter that decodeWholeNarrowText() takes for the text.
    TextCodec codec;
    // Whether the text's lines decoded one by one with decodeLinesAlone() read
    // exactly as the whole text does: a text kept as bytes, or one that a
    // strict converter whose row says so decodes.
    bool linesAlone = false;
    // Where the text starts in the file: after a byte-order mark that the
    // converter drops.
    qint64 textStart = 0;
};

// Goes through a text once, trying every converter on the same pass, and
// chooses the one decodeWholeNarrowText() takes; it keeps none of the text.
// Its bytes go to the sink a piece at a time, from the first byte of the
// file, the last line with the LF that reading it whole adds. None when no
// converter could be opened at all.
std::optional<NarrowTextScan> scanNarrowText(ByteSource& bytes, const QList<QByteArray>& codecs,
                                             BytePieceSink& sink);

// The text of whole lines that scanNarrowText() handed over with `codec`, as
// decoding the whole text gives them.
QString decodeLinesAlone(const TextCodec& codec, QByteArrayView lines);
