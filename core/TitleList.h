#pragma once

#include "core/SearchPattern.h"

#include <QString>
#include <QStringView>

#include <atomic>
#include <optional>
#include <vector>

class DataFileIndex;

// The titles of one version of the collection: for each article, its first
// line that is not blank, trimmed, and cut with an ellipsis past
// LongestTitle characters. Kept in one string, so that the titles of the
// largest collection cost well under a megabyte; the text stays in the file.
class ArticleTitles {
public:
    static constexpr qsizetype LongestTitle = 30;

    ArticleTitles() = default;
    // Reads the titles from the version's slots. An article whose slot the file
    // cannot give now gets an empty title. Stops early, with the titles read so
    // far, once `stop` is set.
    explicit ArticleTitles(const DataFileIndex& collection,
                           const std::atomic<bool>* stop = nullptr);

    int count() const { return int(m_ends.size()); }
    // The title of article `article`, 1..count().
    QStringView title(int article) const;

private:
    QString m_text;
    std::vector<qsizetype> m_ends;
};

// A row of the list of titles: the article, and in the whole-text mode how
// many matches it holds and a piece of the line around its first match.
struct TitleRow {
    int article = 0;
    int matches = 0;
    QString excerpt;
    // Where the first match lies in the excerpt.
    TextMatch marked;
    friend bool operator==(const TitleRow&, const TitleRow&) = default;
};

// The whole number typed, when it names an article of 1..count; full-width
// digits count as digits.
std::optional<int> typedArticleNumber(QStringView typed, int count);

// The articles whose title holds `typed`, matched as find matches; all of them
// for nothing typed. A whole number typed offers its article first.
std::vector<TitleRow> filterTitles(const ArticleTitles& titles, QStringView typed);

// The articles whose whole text holds `typed`, each with its count of matches
// and the piece of the line around the first, searched in the file's bytes
// where the collection allows and decoded only where they match. None once
// `stop` is set.
std::optional<std::vector<TitleRow>> filterTexts(const DataFileIndex& collection, QStringView typed,
                                                 const std::atomic<bool>& stop);

// The piece of `text` shown around `match`: at most ExcerptBefore characters
// of its line before it and ExcerptAfter after it, cut with ellipses.
inline constexpr qsizetype ExcerptBefore = 8;
inline constexpr qsizetype ExcerptAfter = 16;
TitleRow excerptAround(QStringView text, TextMatch match);
