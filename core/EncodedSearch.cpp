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

// The unit candidates are found by: the one the pattern repeats least, and
// not ASCII where it can be (spaces, letters and signs are everywhere);
// the first of equals. Never a low surrogate, and never the line ends.
size_t rarestUnit(const std::vector<char16_t>& units) {
    size_t best = 0;
    std::pair<qsizetype, bool> bestScore{-1, false};
    for (size_t i = 0; i < units.size(); ++i) {
        if (QChar::isLowSurrogate(units[i]))
            continue;
        const std::pair<qsizetype, bool> score{std::count(units.begin(), units.end(), units[i]),
                                               units[i] < 0x80};
        const auto rank = [](std::pair<qsizetype, bool> s) { return std::pair(s.second, s.first); };
        if (bestScore.first < 0 || rank(score) < rank(bestScore)) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

} // namespace

EncodedSearch::EncodedSearch(const SearchPattern& pattern,
                             std::shared_ptr<const ByteCharacters> characters, Path path)
    : m_pattern(pattern), m_units(pattern.units()), m_anchorIndex(rarestUnit(m_units)),
      m_path(std::min(path, fastestPath())), m_characters(std::move(characters)) {}

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
    const size_t anchor = search.m_anchorIndex;
    if (QChar::isHighSurrogate(units[anchor])) {
        for (const QByteArray& encoding :
             characters->encodingsOf(QChar::surrogateToUcs4(units[anchor], units[anchor + 1])))
            search.addAnchor(encoding);
        return search;
    }
    for (const char16_t form : SearchPattern::formsOf(units[anchor])) {
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
    if (m_units.empty())
        return false;
    // The linear reading: how far it has read and its state there.
    qsizetype read = 0;
    int state = 0;
    // Characters read at candidates; past about one a byte the candidates
    // are dense, and reading the rest once is cheaper than each in turn.
    qsizetype work = 0;
    const qsizetype mostWork = size + 64;
    // A place known to start a character, at or before the next candidate.
    qsizetype known = 0;
    for (qsizetype at = nextCandidate(bytes, size, 0); at >= 0;
         at = nextCandidate(bytes, size, at + 1)) {
        if (!m_characters->startsCharacter(bytes, at, known))
            continue;
        const qsizetype end = restMatchesAt(bytes, size, at, work);
        if (end >= 0 && m_anchorIndex == 0)
            return true;
        if (end >= 0 && end > read && readOn(bytes, size, read, state, end))
            return true;
        if (work > mostWork)
            return readOn(bytes, size, read, state, -1);
    }
    return false;
}

bool EncodedSearch::readOn(const uchar* bytes, qsizetype size, qsizetype& at, int& state,
                           qsizetype to) const {
    const qsizetype end = to < 0 ? size : to;
    while (at < end) {
        const ByteCharacters::Character c = m_characters->characterAt(bytes + at, bytes + size);
        if (c.length == 0) {
            // Bytes that start nothing: no match runs across them.
            state = 0;
            ++at;
            continue;
        }
        at += c.length;
        if (c.code > 0xFFFF) {
            state = m_pattern.advance(state, QChar::highSurrogate(c.code));
            if (state == m_pattern.matchState())
                return true;
            state = m_pattern.advance(state, QChar::lowSurrogate(c.code));
        } else {
            state = m_pattern.advance(state, char16_t(c.code));
        }
        if (state == m_pattern.matchState())
            return true;
    }
    return false;
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

qsizetype EncodedSearch::restMatchesAt(const uchar* bytes, qsizetype size, qsizetype at,
                                       qsizetype& work) const {
    for (size_t i = m_anchorIndex; i < m_units.size();) {
        if (at >= size)
            return -1;
        const ByteCharacters::Character read = m_characters->characterAt(bytes + at, bytes + size);
        ++work;
        if (read.length == 0)
            return -1;
        const char32_t c = read.code;
        at += read.length;
        // Line ends between the characters, never before the anchor.
        if (i > m_anchorIndex && SearchPattern::isLineEnd(c))
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
