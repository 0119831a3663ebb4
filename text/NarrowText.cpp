#include "text/NarrowText.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

constexpr qsizetype NarrowTextSniff = qsizetype(4) << 10;

// Ends the text with a line end: a last line without one gets an LF, so that a
// character cut short at the very end is flushed out as U+FFFD, as one pass
// over the whole file gives it. The text reads the same either way.
class LineEndedSource final : public ByteSource {
public:
    explicit LineEndedSource(ByteSource& bytes) : m_bytes(bytes) {}

    qsizetype read(char* into, qsizetype max) override {
        if (m_ended || max <= 0)
            return 0;
        if (const qsizetype got = m_bytes.read(into, max); got > 0) {
            m_last = into[got - 1];
            return got;
        }
        m_ended = true;
        if (isLineEnd(m_last))
            return 0;
        m_addedLineEnd = true;
        into[0] = '\n';
        return 1;
    }
    void rewind() override {
        m_bytes.rewind();
        m_last = '\n';
        m_ended = false;
        m_addedLineEnd = false;
    }
    qint64 sizeHint() const override { return std::max<qint64>(m_bytes.sizeHint(), 0) + 1; }

    // Whether the last byte read is the LF added after the last line: the
    // bytes before it end the file.
    bool addedLineEnd() const { return m_addedLineEnd; }

private:
    ByteSource& m_bytes;
    char m_last = '\n';
    bool m_ended = false;
    bool m_addedLineEnd = false;
};

// An editor saving the file in place may pause with it ending inside a
// character: a text that is valid but for a character cut short at the very
// end, whose bytes so far can begin one, is still taken as such. The cut
// character reads as U+FFFD, as a lenient decoder of the whole file shows it,
// rather than being dropped, so that the reader sees the text is unfinished.
// `piece` ends with the LF the source added; `decoder` is a TextDecoder
// writing to `out`, or a TextValidator with `out` null.
template <typename Decoder>
QChar* appendEndingPiece(Decoder& decoder, QChar* out, QByteArrayView piece) {
    const auto append = [&](QByteArrayView bytes) {
        if constexpr (std::is_base_of_v<TextDecoder, Decoder>)
            out = decoder.appendToBuffer(out, bytes);
        else
            decoder.append(bytes);
    };
    append(piece.chopped(1));
    if (decoder.dropCutCharacter() && out)
        *out++ = QChar::ReplacementCharacter;
    append(piece.last(1));
    return out;
}

// Tries the converters in order: each but the last counts only if it decodes
// the whole text without an error, and the last maps what it cannot decode to
// U+FFFD. Returns what the first that counts gave, or nothing when none could
// be opened at all.
template <typename Result, typename Decode>
std::optional<Result> firstThatDecodes(ByteSource& source, const QList<QByteArray>& codecs,
                                       Decode&& decode) {
    for (qsizetype i = 0; i < codecs.size(); ++i) {
        if (i > 0)
            source.rewind();
        if (std::optional<Result> result = decode(textCodec(codecs[i]), i + 1 < codecs.size()))
            return result;
    }
    return std::nullopt;
}

// Where the next piece ends: just after the last line end in data[from, to).
// A CR as the very last byte read may be the first half of CR LF, so it waits
// for the next block. 0 when there is no line end to cut at.
qsizetype pieceEnd(const char* data, qsizetype from, qsizetype to) {
    for (qsizetype i = to; i > from; --i) {
        const char c = data[i - 1];
        if (c == '\n' || (c == '\r' && i < to))
            return i;
    }
    return 0;
}

// Reads the source to its end and hands it to `piece` in pieces of whole
// lines. Stops early, returning false, when `piece` does.
template <typename Piece> bool forEachPiece(ByteSource& source, Piece&& piece) {
    // The buffer gets its full size at once rather than growing after the
    // first block.
    QByteArray bytes;
    bytes.reserve(NarrowTextBlock);
    qsizetype kept = 0;
    for (;;) {
        bytes.resize(kept + NarrowTextBlock);
        const qsizetype got = source.read(bytes.data() + kept, NarrowTextBlock);
        const bool atEnd = got == 0;
        const qsizetype filled = kept + got;
        // The kept bytes hold no line end, or only a CR held back at their end,
        // which goes with the next cut.
        const qsizetype cut = atEnd ? filled : pieceEnd(bytes.constData(), kept, filled);
        if (cut == 0 && !atEnd) {
            kept = filled; // a line longer than a block: read on
            continue;
        }
        if (cut > 0 && !piece(QByteArrayView(bytes.constData(), cut)))
            return false;
        if (atEnd)
            return true;
        kept = filled - cut;
        std::memmove(bytes.data(), bytes.constData() + cut, size_t(kept));
    }
}

// Decodes a piece into `decoded`, which it reuses, and returns its text; none
// when `strict` and the decoder met bytes it cannot map. `ending` when the
// piece ends with the LF the source added.
std::optional<QStringView> decodePiece(TextDecoder& decoder, bool strict, QByteArrayView piece,
                                       bool ending, QString& decoded) {
    // Room for a U+FFFD and a call of one byte more when the piece ends the text.
    decoded.resize(decoder.requiredSpace(piece.size()) + decoder.requiredSpace(1) + 1);
    const QChar* end = ending ? appendEndingPiece(decoder, decoded.data(), piece)
                              : decoder.appendToBuffer(decoded.data(), piece);
    if (strict && decoder.hasError())
        return std::nullopt;
    return QStringView(decoded.constData(), end - decoded.constData());
}

// Decodes the source to its end in pieces of whole lines. Returns false when
// `strict` and the decoder met bytes it cannot map.
bool decodePieces(LineEndedSource& source, TextDecoder& decoder, bool strict, TextSink& sink) {
    QString decoded;
    decoded.reserve(decoder.requiredSpace(NarrowTextBlock));
    return forEachPiece(source, [&](QByteArrayView piece) {
        const std::optional<QStringView> text =
            decodePiece(decoder, strict, piece, source.addedLineEnd(), decoded);
        if (text)
            sink.lines(*text);
        return text.has_value();
    });
}

// Whether the first few pages decode without an error, which tells a Big5
// collection, whose every line is Chinese, from UTF-8 without reading it all.
// An incomplete character at the end is no error here.
bool startDecodes(LineEndedSource& source, const QByteArray& codec) {
    QStringDecoder decoder(codec.constData());
    if (!decoder.isValid())
        return false;
    QByteArray start(NarrowTextSniff, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < start.size()) {
        const qsizetype got = source.read(start.data() + size, start.size() - size);
        if (got == 0)
            break;
        size += got;
    }
    // Nor is one at the end of a short file, before the LF added after it.
    if (source.addedLineEnd())
        --size;
    const QString text = decoder.decode(QByteArrayView(start.constData(), size));
    Q_UNUSED(text);
    return !decoder.hasError();
}

// The room a whole text takes at first: its bytes when kept as bytes, its
// UTF-16 and a block to spare when decoded.
std::size_t roomForBytes(const ByteSource& source) {
    return std::size_t(source.sizeHint());
}
std::size_t roomForText(const ByteSource& source, const TextDecoder& decoder) {
    return sizeof(char16_t) *
           std::size_t(decoder.requiredSpace(source.sizeHint()) + NarrowTextBlock);
}

// Reads the source to its end, however long it has grown meanwhile, and
// returns the number of bytes.
qsizetype readBytes(ByteSource& source, LargeBuffer& buffer) {
    buffer.reserve(roomForBytes(source));
    std::size_t size = 0;
    for (;;) {
        if (size == buffer.capacity())
            buffer.reserve(std::max<std::size_t>(buffer.capacity() * 2, 1));
        const qsizetype got =
            source.read(buffer.data() + size, qsizetype(buffer.capacity() - size));
        if (got == 0)
            return qsizetype(size);
        size += std::size_t(got);
    }
}

// Decodes the source to its end into the buffer as UTF-16 and returns the
// number of units; nothing when `strict` and the decoder met bytes it cannot
// map.
std::optional<qsizetype> decodeWhole(LineEndedSource& source, TextDecoder& decoder, bool strict,
                                     LargeBuffer& buffer) {
    constexpr std::size_t Unit = sizeof(char16_t);
    buffer.reserve(roomForText(source, decoder));
    QByteArray bytes(NarrowTextBlock, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        const qsizetype got = source.read(bytes.data(), NarrowTextBlock);
        if (got == 0)
            return used;
        // One unit more for the U+FFFD of a character cut by the end of the file.
        const std::size_t needed = Unit * std::size_t(used + decoder.requiredSpace(got) + 1);
        if (needed > buffer.capacity())
            buffer.reserve(needed + needed / 2);
        QChar* start = reinterpret_cast<QChar*>(buffer.data()) + used;
        // The LF added after the last line comes in a read of its own.
        const QChar* end =
            source.addedLineEnd()
                ? appendEndingPiece(decoder, start, QByteArrayView(bytes.constData(), got))
                : decoder.appendToBuffer(start, QByteArrayView(bytes.constData(), got));
        used += end - start;
        if (strict && decoder.hasError())
            return std::nullopt;
    }
}

// Lines of a text kept as bytes, decoded alone.
QString decodeKeptBytes(const TextCodec& codec, QByteArrayView lines) {
    const std::unique_ptr<TextDecoder> decoder = codec.makeDecoder(codec, false);
    return decoder ? decoder->decode(lines) : QString();
}

// A strict decoder as a validator, for an encoding without one of its own:
// it decodes and throws the text away.
class DecodingValidator final : public TextValidator {
public:
    explicit DecodingValidator(std::unique_ptr<TextDecoder> decoder)
        : m_decoder(std::move(decoder)) {}
    void append(QByteArrayView bytes) override {
        m_text.resize(m_decoder->requiredSpace(bytes.size()));
        m_decoder->appendToBuffer(m_text.data(), bytes);
    }
    bool hasError() const override { return m_decoder->hasError(); }
    bool dropCutCharacter() override { return m_decoder->dropCutCharacter(); }

private:
    std::unique_ptr<TextDecoder> m_decoder;
    QString m_text;
};

} // namespace

qsizetype BytesSource::read(char* into, qsizetype max) {
    const qsizetype size = std::min(max, m_bytes.size() - m_at);
    // An empty view may have no data at all.
    if (size <= 0)
        return 0;
    std::memcpy(into, m_bytes.data() + m_at, size_t(size));
    m_at += size;
    return size;
}

void LineSink::lines(QStringView piece) {
    for (qsizetype pos = 0; pos < piece.size();) {
        const LineBounds bounds = lineAt(piece, pos);
        line(piece.sliced(pos, bounds.end - pos));
        pos = bounds.next;
    }
}

bool decodeNarrowLines(ByteSource& bytes, TextSink& sink, const QList<QByteArray>& codecs) {
    LineEndedSource source(bytes);
    bool decodedAny = false;
    const auto decode = [&](const TextCodec& codec, bool strict) -> std::optional<bool> {
        const std::unique_ptr<TextDecoder> decoder = codec.makeDecoder(codec, strict);
        if (!decoder)
            return std::nullopt;
        if (std::exchange(decodedAny, true))
            sink.restart();
        if (!decodePieces(source, *decoder, strict, sink))
            return std::nullopt;
        return true;
    };
    return firstThatDecodes<bool>(source, codecs, decode).has_value();
}

void WholeNarrowText::releaseUnused() {
    m_buffer.releaseBeyond(std::size_t(m_size) * (keptAsBytes() ? 1 : sizeof(char16_t)));
}

QString WholeNarrowText::text(qsizetype from, qsizetype to) const {
    if (!m_keptAs)
        return QString::fromRawData(reinterpret_cast<const QChar*>(units() + from), to - from);
    return decodeKeptBytes(*m_keptAs, QByteArrayView(bytes() + from, to - from));
}

std::optional<WholeNarrowText>
decodeWholeNarrowText(ByteSource& bytes, const QList<QByteArray>& codecs, LargeBuffer reserved) {
    LineEndedSource source(bytes);
    const auto decode = [&](const TextCodec& codec, bool strict) -> std::optional<WholeNarrowText> {
        if (strict) {
            const bool decodes = startDecodes(source, codec.name);
            source.rewind();
            if (!decodes)
                return std::nullopt;
        }
        WholeNarrowText whole;
        whole.m_buffer = std::move(reserved);
        // Only the last converter, which never fails, may keep the bytes.
        if (!strict && codec.keptAsBytes()) {
            whole.m_size = readBytes(source, whole.m_buffer);
            whole.m_keptAs = codec;
            return whole;
        }
        const std::unique_ptr<TextDecoder> decoder = codec.makeDecoder(codec, strict);
        if (!decoder)
            return std::nullopt;
        const std::optional<qsizetype> size = decodeWhole(source, *decoder, strict, whole.m_buffer);
        if (!size)
            return std::nullopt;
        whole.m_size = *size;
        return whole;
    };
    return firstThatDecodes<WholeNarrowText>(source, codecs, decode);
}

std::optional<NarrowTextScan> scanNarrowText(ByteSource& bytes, const QList<QByteArray>& codecs,
                                             BytePieceSink& sink) {
    LineEndedSource source(bytes);
    // Each converter but the last counts only if it decodes the whole text
    // without an error, as decodeWholeNarrowText() has it; one that cannot be
    // opened is passed over. All are tried on one pass over the file, the
    // strict ones only validating where their row can.
    struct Try {
        TextCodec codec;
        std::unique_ptr<TextValidator> validator;
        bool failed = false;
    };
    std::vector<Try> tries;
    for (qsizetype i = 0; i < codecs.size(); ++i) {
        TextCodec codec = textCodec(codecs[i]);
        const bool strict = i + 1 < codecs.size();
        std::unique_ptr<TextValidator> validator;
        if (strict && codec.makeValidator) {
            validator = codec.makeValidator();
        } else if (std::unique_ptr<TextDecoder> decoder = codec.makeDecoder(codec, strict)) {
            if (strict)
                validator = std::make_unique<DecodingValidator>(std::move(decoder));
        } else {
            continue;
        }
        tries.push_back({std::move(codec), std::move(validator)});
    }
    if (tries.empty())
        return std::nullopt;
    qint64 at = 0;
    QByteArray start;
    forEachPiece(source, [&](QByteArrayView piece) {
        if (at == 0)
            start = piece.first(std::min<qsizetype>(piece.size(), 4)).toByteArray();
        const bool ending = source.addedLineEnd();
        for (Try& attempt : tries) {
            if (!attempt.validator || attempt.failed)
                continue;
            if (ending)
                appendEndingPiece(*attempt.validator, nullptr, piece);
            else
                attempt.validator->append(piece);
            attempt.failed = attempt.validator->hasError();
        }
        sink.piece(piece, at);
        at += piece.size();
        return true;
    });
    const auto chosen = std::find_if(tries.begin(), tries.end(),
                                     [](const Try& attempt) { return !attempt.failed; });
    if (chosen == tries.end())
        return std::nullopt;
    NarrowTextScan scan{chosen->codec};
    const TextCodec& codec = chosen->codec;
    const bool strict = chosen->validator != nullptr;
    const bool strictLinesAlone = strict && codec.strictLinesDecodeAlone;
    scan.linesAlone = strictLinesAlone || (!strict && codec.keptAsBytes());
    const QByteArrayView mark = codec.byteOrderMark;
    scan.textStart =
        strictLinesAlone && !mark.isEmpty() && start.startsWith(mark) ? mark.size() : 0;
    return scan;
}

QString decodeLinesAlone(const TextCodec& codec, QByteArrayView lines) {
    if (!codec.strictLinesDecodeAlone)
        return decodeKeptBytes(codec, lines);
    // After a line end, a byte-order mark is text, as it is anywhere but at
    // the start of the whole text.
    const std::unique_ptr<TextDecoder> decoder = codec.makeDecoder(codec, true);
    if (!decoder)
        return QString();
    decoder->decode("\n");
    if (lines.isEmpty() || !isLineEnd(lines.back()))
        return decoder->decode(lines);
    // The scan took the text as valid but, at most, for a character cut at
    // the very end of the file, before the LF added after it.
    QString text(decoder->requiredSpace(lines.size()) + decoder->requiredSpace(1) + 1,
                 Qt::Uninitialized);
    const QChar* end = appendEndingPiece(*decoder, text.data(), lines);
    text.truncate(end - text.constData());
    return text;
}
