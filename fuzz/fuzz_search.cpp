// A search of the input's bytes, in UTF-8 where they are valid and in Big5,
// on every path the machine has, whichever character it anchors on and
// however dense its candidates, must find a match exactly when searching
// their decoded text does; and that search must find the first and last
// match that comparing at every place finds. The first byte picks the
// encoding and how many bytes after it are the text to find; the rest is the
// lines searched.

#include "core/EncodedSearch.h"
#include "fuzz/FuzzSupport.h"
#include "store/ArticleSlots.h"
#include "text/Big5Decoder.h"
#include "text/NarrowText.h"
#include "text/Utf8Decoder.h"

namespace {

// Whole lines, so that a sequence cut at the end counts as an error.
bool validUtf8(QByteArrayView bytes) {
    Utf8Decoder decoder(Utf8Decoder::Path::Scalar);
    QString room(decoder.requiredSpace(bytes.size()), Qt::Uninitialized);
    decoder.appendToBuffer(room.data(), bytes);
    return !decoder.hasError();
}

// The match starting at `start`, compared a character at a time.
std::optional<TextMatch> matchAt(const SearchPattern& pattern, QStringView text, qsizetype start) {
    const std::vector<char16_t>& units = pattern.units();
    qsizetype at = start;
    for (size_t i = 0; i < units.size(); ++i) {
        while (i > 0 && at < text.size() && SearchPattern::isLineEnd(text[at].unicode()))
            ++at;
        if (at >= text.size() || SearchPattern::folded(text[at].unicode()) != units[i])
            return std::nullopt;
        ++at;
    }
    return TextMatch{start, at};
}

std::optional<TextMatch> firstByComparing(const SearchPattern& pattern, QStringView text,
                                          SearchDirection direction) {
    if (pattern.isEmpty())
        return std::nullopt;
    const bool forward = direction == SearchDirection::Forward;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const auto match = matchAt(pattern, text, forward ? i : text.size() - 1 - i))
            return match;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = fuzz::bytesOf(data, size);
    if (input.isEmpty())
        return 0;
    const uchar choice = uchar(input[0]);
    const qsizetype typedBytes = std::min<qsizetype>(choice >> 1 & 15, input.size() - 1);
    const QByteArray typedBytesOf = input.sliced(1, typedBytes);
    // Whole lines, as the index hands them over.
    QByteArray lines = input.sliced(1 + typedBytes);
    if (lines.isEmpty() || !isLineEnd(lines.back()))
        lines += '\n';
    const bool utf8 = choice & 1 && validUtf8(typedBytesOf + '\n') && validUtf8(lines);
    const TextCodec codec = textCodec(utf8 ? QByteArray("UTF-8") : QByteArray(Big5CodecName));

    const SearchPattern pattern(decodeLinesAlone(codec, typedBytesOf));
    const QString text = storedLines(decodeLinesAlone(codec, lines));
    const bool inText = pattern.nextIn(text).has_value();
    for (const auto direction : {SearchDirection::Forward, SearchDirection::Backward})
        fuzz::expect(pattern.firstIn(text, direction) == firstByComparing(pattern, text, direction),
                     "the linear reading and comparing at every place disagree");
    int count = 0;
    for (auto match = pattern.nextIn(text); match; match = pattern.nextIn(text, match->end))
        ++count;
    for (const auto path :
         {EncodedSearch::Path::Scalar, EncodedSearch::Path::Sse2, EncodedSearch::Path::Avx2}) {
        const std::optional<EncodedSearch> search = EncodedSearch::make(pattern, codec, path);
        // Half a surrogate pair is left to the decoded search.
        if (search) {
            fuzz::expect(search->matchesIn(lines) == inText,
                         "the bytes hold a match otherwise than their text");
            fuzz::expect(search->matchesOf(lines).count == count,
                         "the bytes hold another count of matches than their text");
        }
    }
    return 0;
}
