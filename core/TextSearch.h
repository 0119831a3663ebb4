#pragma once

#include <QString>
#include <QStringView>

#include <atomic>
#include <optional>
#include <vector>

class DataFileIndex;

// Where a match lies in a text, in UTF-16 units: [start, end).
struct TextMatch {
    qsizetype start = 0;
    qsizetype end = 0;
    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

// Text to find, matched as a reader of Chinese expects: Latin letters ignore
// case, the full-width and half-width forms of letters, digits and signs match
// each other, and line ends inside the text are skipped, since Chinese text
// is wrapped anywhere: 明月 finds 明, a line end, 月. Line ends in what was
// typed are dropped. A match starts and ends on a character, never on a line
// end.
class SearchPattern {
public:
    explicit SearchPattern(QStringView typed);
    bool isEmpty() const { return m_units.empty(); }

    // The first match that starts at or after `from`.
    std::optional<TextMatch> nextIn(QStringView text, qsizetype from = 0) const;
    // The last match that starts before `before`.
    std::optional<TextMatch> previousIn(QStringView text, qsizetype before) const;

    // What is matched: one form for the characters that match each other, and
    // the line ends skipped.
    const std::vector<char16_t>& units() const { return m_units; }
    static char16_t folded(char16_t c);
    static bool isLineEnd(char32_t c) { return c == u'\r' || c == u'\n' || c == u'\u2029'; }

private:
    // Where a match that starts at `start` ends; none when none starts there.
    std::optional<qsizetype> matchAt(QStringView text, qsizetype start) const;

    std::vector<char16_t> m_units;
};

enum class SearchDirection { Forward, Backward };

// The other articles in the order a search goes through them from `current`:
// on to the last and round from the first (backward: back to the first and
// round from the last), `current` itself not included; all of 1..count when
// `current` is outside them.
std::vector<int> searchOrder(int current, int count, SearchDirection direction);

// The first article, in `order`, whose text holds a match; none when none
// does, or once `stop` is set. An article whose text cannot be read now is
// passed over. Searches the file's bytes where it can, without decoding them.
std::optional<int> findArticle(const SearchPattern& pattern, const DataFileIndex& collection,
                               const std::vector<int>& order, const std::atomic<bool>& stop);
