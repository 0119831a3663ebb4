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

// How many of the pattern's units candidates are looked for by, in turn.
constexpr size_t MostAnchorSets = 3;

// The units candidates are found by, best first: the ones the pattern repeats
// least, and not ASCII where they can be (spaces, letters and signs are
// everywhere); of equals, the first. Each unit once; never a low surrogate.
std::vector<size_t> anchorOrder(const std::vector<char16_t>& units) {
    std::vector<std::pair<std::pair<bool, qsizetype>, size_t>> ranked;
    for (size_t i = 0; i < units.size(); ++i) {
        if (QChar::isLowSurrogate(units[i]) ||
            std::find(units.begin(), units.begin() + qsizetype(i), units[i]) !=
                units.begin() + qsizetype(i))
            continue;
        ranked.push_back({{units[i] < 0x80, std::count(units.begin(), units.end(), units[i])}, i});
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<size_t> order;
    for (size_t i = 0; i < ranked.size() && i < MostAnchorSets; ++i)
        order.push_back(ranked[i].second);
    return order;
}

} // namespace

EncodedSearch::EncodedSearch(const SearchPattern& pattern,
                             std::shared_ptr<const ByteCharacters> characters, Path path)
    : m_pattern(pattern), m_units(pattern.units()), m_path(std::min(path, fastestPath())),
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
    for (const size_t anchor : anchorOrder(units)) {
        AnchorSet& set = search.m_anchorSets.emplace_back();
        set.index = anchor;
        if (QChar::isHighSurrogate(units[anchor])) {
            for (const QByteArray& encoding :
                 characters->encodingsOf(QChar::surrogateToUcs4(units[anchor], units[anchor + 1])))
                set.add(encoding);
            continue;
        }
        for (const char16_t form : SearchPattern::formsOf(units[anchor])) {
            for (const QByteArray& encoding : characters->encodingsOf(form))
                set.add(encoding);
        }
    }
    return search;
}

std::vector<size_t> EncodedSearch::anchorIndexes() const {
    std::vector<size_t> indexes;
    for (const AnchorSet& set : m_anchorSets)
        indexes.push_back(set.index);
    return indexes;
}

void EncodedSearch::AnchorSet::add(QByteArrayView encoding) {
    const int last = int(encoding.size() - 1);
    const int first = std::max(last - 1, 0);
    auto group = std::find_if(groups.begin(), groups.end(), [&](const Group& g) {
        return g.firstOffset == first && g.lastOffset == last;
    });
    if (group == groups.end())
        group = groups.insert(groups.end(), Group{first, last, {}});
    const size_t pair = size_t(uchar(encoding[first])) << 8 | uchar(encoding[last]);
    if (group->pairs.test(pair))
        return;
    group->pairs.set(pair);
    anchors.push_back({uchar(encoding[first]), first, uchar(encoding[last]), last});
    reach = std::max(reach, last);
}

bool EncodedSearch::matchesIn(QByteArrayView lines) const {
    const auto* bytes = reinterpret_cast<const uchar*>(lines.data());
    const qsizetype size = lines.size();
    if (m_units.empty())
        return false;
    // The linear reading: how far it has read and its state there.
    qsizetype read = 0;
    int state = 0;
    // Candidates and the characters read at them, for each anchor: past a
    // share of the bytes the candidates are dense, and the next anchor, or
    // last reading the rest once, is cheaper than each in turn. The next
    // anchor costs little, so the share before it is small.
    for (const AnchorSet& set : m_anchorSets) {
        const qsizetype mostWork = (&set == &m_anchorSets.back() ? size / 4 : size / 16) + 64;
        // A character the encoding cannot hold in any form: nothing matches.
        if (set.anchors.empty())
            return false;
        qsizetype work = 0;
        // A place known to start a character, at or before the next candidate.
        qsizetype known = 0;
        qsizetype at = nextCandidate(set, bytes, size, 0);
        for (; at >= 0 && work <= mostWork; at = nextCandidate(set, bytes, size, at + 1)) {
            ++work;
            if (!m_characters->startsCharacter(bytes, at, known))
                continue;
            const qsizetype end = restMatchesAt(set.index, bytes, size, at, work);
            if (end >= 0 && set.index == 0)
                return true;
            if (end >= 0 && end > read && readOn(bytes, size, read, state, end))
                return true;
        }
        // Every match holds the anchor, and every place it stands was read.
        if (at < 0)
            return false;
    }
    return readOn(bytes, size, read, state, -1);
}

EncodedSearch::Matches EncodedSearch::matchesOf(QByteArrayView lines) const {
    const auto* bytes = reinterpret_cast<const uchar*>(lines.data());
    const qsizetype size = lines.size();
    Matches matches;
    const auto found = [&](qsizetype start, qsizetype end) {
        if (matches.count++ == 0) {
            matches.firstStart = start;
            matches.firstEnd = end;
        }
    };
    if (m_units.empty() || m_anchorSets.empty() || m_anchorSets.front().anchors.empty())
        return matches;
    // Anchored on the first character: each match is read from its start,
    // and the next looked for from its end.
    if (const AnchorSet& set = m_anchorSets.front(); set.index == 0) {
        qsizetype work = 0;
        qsizetype known = 0;
        for (qsizetype at = nextCandidate(set, bytes, size, 0); at >= 0;) {
            const qsizetype end = m_characters->startsCharacter(bytes, at, known)
                                      ? restMatchesAt(0, bytes, size, at, work)
                                      : -1;
            if (end >= 0)
                found(at, end);
            at = nextCandidate(set, bytes, size, end >= 0 ? end : at + 1);
        }
        return matches;
    }
    // Otherwise the linear reading, started again at each match's end.
    qsizetype at = 0;
    for (int state = 0; readOn(bytes, size, at, state, -1); state = 0)
        found(-1, at);
    return matches;
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

qsizetype EncodedSearch::nextCandidate(const AnchorSet& set, const uchar* bytes, qsizetype size,
                                       qsizetype from) const {
    switch (m_path) {
    case Path::Avx2:
        return nextCandidate<Path::Avx2>(set, bytes, size, from);
    case Path::Sse2:
        return nextCandidate<Path::Sse2>(set, bytes, size, from);
    case Path::Scalar:
        break;
    }
    return nextCandidate<Path::Scalar>(set, bytes, size, from);
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
qsizetype EncodedSearch::nextCandidate(const AnchorSet& set, const uchar* bytes, qsizetype size,
                                       qsizetype from) {
    qsizetype at = from;
    qsizetype found = -1;
    // A character with many encodings (the replacement character in Big5)
    // is left to the plain loop.
    const bool wide = set.anchors.size() <= MostWideAnchors;
#ifdef ORVENLA_SEARCH_WIDE
    if constexpr (P == Path::Avx2)
        found = !wide
                    ? -1
                    : scanAvx2(bytes, size, at, set.anchors.data(), set.anchors.size(), set.reach);
#endif
#ifdef __SSE2__
    if constexpr (P == Path::Sse2)
        found = !wide
                    ? -1
                    : scanSse2(bytes, size, at, set.anchors.data(), set.anchors.size(), set.reach);
#endif
    if (found >= 0)
        return found;
    for (; at < size; ++at) {
        for (const AnchorSet::Group& group : set.groups) {
            if (at + group.lastOffset < size &&
                group.pairs.test(size_t(bytes[at + group.firstOffset]) << 8 |
                                 bytes[at + group.lastOffset]))
                return at;
        }
    }
    return -1;
}

qsizetype EncodedSearch::restMatchesAt(size_t anchor, const uchar* bytes, qsizetype size,
                                       qsizetype at, qsizetype& work) const {
    for (size_t i = anchor; i < m_units.size();) {
        if (at >= size)
            return -1;
        const ByteCharacters::Character read = m_characters->characterAt(bytes + at, bytes + size);
        ++work;
        if (read.length == 0)
            return -1;
        const char32_t c = read.code;
        at += read.length;
        // Line ends between the characters, never before the anchor.
        if (i > anchor && SearchPattern::isLineEnd(c))
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
