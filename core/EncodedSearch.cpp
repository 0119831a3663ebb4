#include "core/EncodedSearch.h"

#include "text/ByteCharacters.h"

#include <QString>

#include <algorithm>
#include <bit>
#include <bitset>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVENLA_SEARCH_WIDE 1
#include <immintrin.h>
#endif

namespace {

using Path = EncodedSearch::Path;

// Every character that folds to `unit`: itself, its capital, their full-width
// forms, and the ideographic space for a space.
std::vector<char16_t> formsOf(char16_t unit) {
    std::vector<char16_t> forms;
    const char16_t capital = unit >= u'a' && unit <= u'z' ? char16_t(unit - 0x20) : unit;
    for (const char16_t c :
         {unit, capital, char16_t(unit + 0xFEE0), char16_t(capital + 0xFEE0), char16_t(0x3000)}) {
        if (SearchPattern::folded(c) == unit && !QChar::isSurrogate(c) &&
            std::find(forms.begin(), forms.end(), c) == forms.end())
            forms.push_back(c);
    }
    return forms;
}

bool hasHalfPair(const std::vector<char16_t>& units) {
    for (size_t i = 0; i < units.size(); ++i) {
        if (QChar::isHighSurrogate(units[i]) && i + 1 < units.size() &&
            QChar::isLowSurrogate(units[i + 1]))
            ++i;
        else if (QChar::isSurrogate(units[i]))
            return true;
    }
    return false;
}

} // namespace

EncodedSearch::EncodedSearch(const SearchPattern& pattern,
                             std::shared_ptr<const ByteCharacters> characters, Path path)
    : m_units(pattern.units()), m_path(std::min(path, fastestPath())),
      m_characters(std::move(characters)) {}

std::optional<EncodedSearch> EncodedSearch::make(const SearchPattern& pattern,
                                                 const TextCodec& codec, Path path) {
    const std::vector<char16_t>& units = pattern.units();
    if (hasHalfPair(units))
        return std::nullopt;
    std::shared_ptr<const ByteCharacters> characters = codec.byteCharacters();
    if (!characters)
        return std::nullopt;
    EncodedSearch search(pattern, characters, path);
    if (units.empty())
        return search;
    if (QChar::isHighSurrogate(units[0])) {
        for (const QByteArray& encoding :
             characters->encodingsOf(QChar::surrogateToUcs4(units[0], units[1])))
            search.addAnchor(encoding);
        return search;
    }
    for (const char16_t form : formsOf(units[0])) {
        for (const QByteArray& encoding : characters->encodingsOf(form))
            search.addAnchor(encoding);
    }
    return search;
}

void EncodedSearch::addAnchor(QByteArrayView encoding) {
    const int last = int(encoding.size() - 1);
    const int first = std::max(last - 1, 0);
    auto group = std::find_if(m_groups.begin(), m_groups.end(), [&](const AnchorGroup& g) {
        return g.firstOffset == first && g.lastOffset == last;
    });
    if (group == m_groups.end())
        group = m_groups.insert(m_groups.end(), AnchorGroup{first, last, {}});
    const size_t pair = size_t(uchar(encoding[first])) << 8 | uchar(encoding[last]);
    if (group->pairs.test(pair))
        return;
    group->pairs.set(pair);
    m_anchors.push_back({uchar(encoding[first]), first, uchar(encoding[last]), last});
    m_reach = std::max(m_reach, last);
}

bool EncodedSearch::matchesIn(QByteArrayView lines) const {
    const auto* bytes = reinterpret_cast<const uchar*>(lines.data());
    const qsizetype size = lines.size();
    for (qsizetype at = nextCandidate(bytes, size, 0); at >= 0;
         at = nextCandidate(bytes, size, at + 1)) {
        if (matchEnd(bytes, size, at) >= 0)
            return true;
    }
    return false;
}

EncodedSearch::Matches EncodedSearch::matchesOf(QByteArrayView lines) const {
    const auto* bytes = reinterpret_cast<const uchar*>(lines.data());
    const qsizetype size = lines.size();
    Matches matches;
    for (qsizetype at = nextCandidate(bytes, size, 0); at >= 0;) {
        const qsizetype end = matchEnd(bytes, size, at);
        if (end < 0) {
            at = nextCandidate(bytes, size, at + 1);
            continue;
        }
        if (matches.count++ == 0) {
            matches.firstStart = at;
            matches.firstEnd = end;
        }
        at = nextCandidate(bytes, size, end);
    }
    return matches;
}

qsizetype EncodedSearch::nextCandidate(const uchar* bytes, qsizetype size, qsizetype from) const {
    switch (m_path) {
    case Path::Avx2:
        return nextCandidate<Path::Avx2>(bytes, size, from);
    case Path::Sse2:
        return nextCandidate<Path::Sse2>(bytes, size, from);
    case Path::Scalar:
        break;
    }
    return nextCandidate<Path::Scalar>(bytes, size, from);
}

namespace {

using Anchor = EncodedSearch::Anchor;

constexpr size_t MostWideAnchors = 8;

// The wide loops compare Width bytes at a time at `at`, for each anchor, while
// they lie inside the bytes; they return the first candidate, or -1 with
// `at` where the plain loop is to go on.
#ifdef __SSE2__
qsizetype scanSse2(const uchar* bytes, qsizetype size, qsizetype& at, const Anchor* anchors,
                   size_t count, int reach) {
    for (; at + 16 + reach <= size; at += 16) {
        __m128i found = _mm_setzero_si128();
        for (size_t i = 0; i < count; ++i) {
            const auto* first =
                reinterpret_cast<const __m128i*>(bytes + at + anchors[i].firstOffset);
            const auto* last = reinterpret_cast<const __m128i*>(bytes + at + anchors[i].lastOffset);
            found = _mm_or_si128(
                found,
                _mm_and_si128(
                    _mm_cmpeq_epi8(_mm_loadu_si128(first), _mm_set1_epi8(char(anchors[i].first))),
                    _mm_cmpeq_epi8(_mm_loadu_si128(last), _mm_set1_epi8(char(anchors[i].last)))));
        }
        if (const unsigned mask = unsigned(_mm_movemask_epi8(found)))
            return at + std::countr_zero(mask);
    }
    return -1;
}
#endif

#ifdef ORVENLA_SEARCH_WIDE
__attribute__((target("avx2"))) qsizetype scanAvx2(const uchar* bytes, qsizetype size,
                                                   qsizetype& at, const Anchor* anchors,
                                                   size_t count, int reach) {
    for (; at + 32 + reach <= size; at += 32) {
        __m256i found = _mm256_setzero_si256();
        for (size_t i = 0; i < count; ++i) {
            const auto* first =
                reinterpret_cast<const __m256i*>(bytes + at + anchors[i].firstOffset);
            const auto* last = reinterpret_cast<const __m256i*>(bytes + at + anchors[i].lastOffset);
            found = _mm256_or_si256(
                found,
                _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(first),
                                                   _mm256_set1_epi8(char(anchors[i].first))),
                                 _mm256_cmpeq_epi8(_mm256_loadu_si256(last),
                                                   _mm256_set1_epi8(char(anchors[i].last)))));
        }
        if (const unsigned mask = unsigned(_mm256_movemask_epi8(found)))
            return at + std::countr_zero(mask);
    }
    return -1;
}
#endif

} // namespace

template <Path P>
qsizetype EncodedSearch::nextCandidate(const uchar* bytes, qsizetype size, qsizetype from) const {
    qsizetype at = from;
    qsizetype found = -1;
    // A character with many encodings (the replacement character in Big5)
    // is left to the plain loop.
    const bool wide = m_anchors.size() <= MostWideAnchors;
#ifdef ORVENLA_SEARCH_WIDE
    if constexpr (P == Path::Avx2)
        found = !wide ? -1 : scanAvx2(bytes, size, at, m_anchors.data(), m_anchors.size(), m_reach);
#endif
#ifdef __SSE2__
    if constexpr (P == Path::Sse2)
        found = !wide ? -1 : scanSse2(bytes, size, at, m_anchors.data(), m_anchors.size(), m_reach);
#endif
    if (found >= 0)
        return found;
    for (; at < size; ++at) {
        for (const AnchorGroup& group : m_groups) {
            if (at + group.lastOffset < size &&
                group.pairs.test(size_t(bytes[at + group.firstOffset]) << 8 |
                                 bytes[at + group.lastOffset]))
                return at;
        }
    }
    return -1;
}

qsizetype EncodedSearch::matchEnd(const uchar* bytes, qsizetype size, qsizetype at) const {
    if (!m_characters->startsCharacter(bytes, at))
        return -1;
    for (size_t i = 0; i < m_units.size();) {
        if (at >= size)
            return -1;
        const ByteCharacters::Character read = m_characters->characterAt(bytes + at, bytes + size);
        if (read.length == 0)
            return -1;
        const char32_t c = read.code;
        at += read.length;
        // Line ends between the characters, never before the first.
        if (i > 0 && SearchPattern::isLineEnd(c))
            continue;
        if (c > 0xFFFF) {
            if (i + 1 >= m_units.size() || m_units[i] != QChar::highSurrogate(c) ||
                m_units[i + 1] != QChar::lowSurrogate(c))
                return -1;
            i += 2;
        } else {
            if (SearchPattern::folded(char16_t(c)) != m_units[i])
                return -1;
            ++i;
        }
    }
    return at;
}
