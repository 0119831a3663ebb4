#pragma once

#include <QStringView>

#include <optional>
#include <vector>

// Where a match lies in a text, in UTF-16 units: [start, end).
struct TextMatch {
    qsizetype start = 0;
    qsizetype end = 0;
    friend bool operator==(const TextMatch&, const TextMatch&) = default;
};

enum class SearchDirection { Forward, Backward };

// Text to find, matched as a reader of Chinese expects: Latin letters ignore
// case, the full-width and half-width forms of letters, digits and signs match
// each other, the Simplified, Traditional and variant forms of a character
// match each other (书 and 書; 后, 後; 系, 係, 繫), and line ends inside the
// text are skipped, since Chinese text
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
    // The first match in `text` (forward) or the last (backward).
    std::optional<TextMatch> firstIn(QStringView text, SearchDirection direction) const;

    // What is matched: one form for the characters that match each other, and
    // the line ends skipped.
    const std::vector<char16_t>& units() const { return m_units; }
    static char16_t folded(char16_t c);
    // Every character that folds to `unit`, itself first when it is one.
    static std::vector<char16_t> formsOf(char16_t unit);

    // A reading of the text one unit at a time, linear however the text
    // repeats: `state` is how many units of a match have been read, 0 to
    // begin with, and units().size() once a match ends at the unit read.
    // Line ends leave the state as it was.
    int advance(int state, char16_t unit) const;
    int matchState() const { return int(m_units.size()); }
    static bool isLineEnd(char32_t c) { return c == u'\r' || c == u'\n' || c == u'\u2029'; }

private:
    // The first match that starts at or after `from`, or the last that starts
    // before `before` when that is set.
    std::optional<TextMatch> scan(QStringView text, qsizetype from,
                                  std::optional<qsizetype> before) const;

    std::vector<char16_t> m_units;
    // For each length of a match read so far, the longest of its ends that
    // begins a match too (the units read need not be read again).
    std::vector<int> m_fallback;
};
