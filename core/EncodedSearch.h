#pragma once

#include "core/SearchPattern.h"
#include "text/SimdPath.h"
#include "text/TextCodecs.h"

#include <QByteArrayView>

#include <bitset>
#include <memory>
#include <optional>
#include <vector>

class ByteCharacters;

// Finds a SearchPattern in whole lines still in their file's encoding, with
// the same answer as decoding them and searching their text, several times
// faster, in any encoding whose codec row reads its bytes a character at a
// time (UTF-8, and Big5 read through its decoder's table).
//
// Candidates are the places where some form of the first character may begin
// (the last two bytes of its encodings compared, many places at a time); each
// must start a character (in Big5 a second byte may be ASCII, so "A" lies
// inside 你, A7 41) and is then read a character at a time.
class EncodedSearch {
public:
    using Path = SimdPath;
    static Path fastestPath() { return fastestSimdPath(); }

    // None where the text must be decoded to be searched: a codec without
    // byte characters, or a pattern with half a surrogate pair.
    static std::optional<EncodedSearch> make(const SearchPattern& pattern, const TextCodec& codec,
                                             Path path = fastestPath());

    // Whether the whole lines `lines` hold a match.
    bool matchesIn(QByteArrayView lines) const;
    // The matches in the whole lines `lines`, one after another as searching
    // their text finds them (none overlapping): how many, and the bytes of
    // the first, [firstStart, firstEnd).
    struct Matches {
        int count = 0;
        qsizetype firstStart = -1;
        qsizetype firstEnd = -1;
    };
    Matches matchesOf(QByteArrayView lines) const;

    // Two bytes of one encoding of the first character, at their offsets in
    // it: its last two, which in UTF-8 tell apart far more than its first.
    struct Anchor {
        unsigned char first;
        int firstOffset;
        unsigned char last;
        int lastOffset;
    };

private:
    EncodedSearch(const SearchPattern& pattern, std::shared_ptr<const ByteCharacters> characters,
                  Path path);
    void addAnchor(QByteArrayView encoding);
    // The first candidate at or after `from`; -1 when there is none.
    template <Path P>
    qsizetype nextCandidate(const uchar* bytes, qsizetype size, qsizetype from) const;
    qsizetype nextCandidate(const uchar* bytes, qsizetype size, qsizetype from) const;
    // Where a match that starts at `at` ends; -1 when none starts there.
    qsizetype matchEnd(const uchar* bytes, qsizetype size, qsizetype at) const;

    std::vector<char16_t> m_units;
    std::vector<Anchor> m_anchors;
    // The same anchors by their offsets, each pair of bytes a bit.
    struct AnchorGroup {
        int firstOffset;
        int lastOffset;
        std::bitset<256 * 256> pairs;
    };
    std::vector<AnchorGroup> m_groups;
    // How far past a candidate its anchors look.
    int m_reach = 0;
    Path m_path;
    std::shared_ptr<const ByteCharacters> m_characters;
};
