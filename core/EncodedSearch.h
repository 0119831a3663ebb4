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
// Candidates are the places where some form of the anchor may begin (the
// last two bytes of its encodings compared, many places at a time): the
// pattern's rarest character, by how often the pattern repeats it and with
// ASCII taken as common, so that 甲甲甲丙 in a text of 甲 has no candidate.
// Each must start a character (in Big5 a second byte may be ASCII, so "A"
// lies inside 你, A7 41) and is then read a character at a time up to the
// pattern's end. What lies before the anchor is left to the pattern's linear
// reading of the lines from their start, which never reads a byte twice.
// Where the candidates are too dense to read one by one (甲乙乙 in a text of
// 甲), the next rarest character is tried, and after a few the linear
// reading takes the rest: the work stays within a few readings of the lines.
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
    // the first, [firstStart, firstEnd); firstStart is -1 where only the
    // linear reading, which tells ends alone, could find them.
    struct Matches {
        int count = 0;
        qsizetype firstStart = -1;
        qsizetype firstEnd = -1;
    };
    Matches matchesOf(QByteArrayView lines) const;

    // Which units of the pattern's units() the candidates are found by, in
    // the order they are tried.
    std::vector<size_t> anchorIndexes() const;

    // Two bytes of one encoding of the anchor, at their offsets in
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
    struct AnchorSet;
    // The first candidate of `set` at or after `from`; -1 when there is none.
    template <Path P>
    static qsizetype nextCandidate(const AnchorSet& set, const uchar* bytes, qsizetype size,
                                   qsizetype from);
    qsizetype nextCandidate(const AnchorSet& set, const uchar* bytes, qsizetype size,
                            qsizetype from) const;
    // Where the units from `anchor` on match from `at` to; -1 where they do
    // not. Counts the characters read into `work`.
    qsizetype restMatchesAt(size_t anchor, const uchar* bytes, qsizetype size, qsizetype at,
                            qsizetype& work) const;
    // Reads on from `at` in state `state` up to `to` (to the end for -1);
    // true once a match ends.
    bool readOn(const uchar* bytes, qsizetype size, qsizetype& at, int& state, qsizetype to) const;

    SearchPattern m_pattern;
    std::vector<char16_t> m_units;
    // The encodings of one unit of the pattern, in all its forms.
    struct AnchorSet {
        size_t index = 0;
        std::vector<Anchor> anchors;
        // The same anchors by their offsets, each pair of bytes a bit.
        struct Group {
            int firstOffset;
            int lastOffset;
            std::bitset<256 * 256> pairs;
        };
        std::vector<Group> groups;
        // How far past a candidate its anchors look.
        int reach = 0;
        void add(QByteArrayView encoding);
    };
    // The rarest unit's first, then the next rarest others'.
    std::vector<AnchorSet> m_anchorSets;
    Path m_path;
    std::shared_ptr<const ByteCharacters> m_characters;
};
