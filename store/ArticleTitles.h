#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The titles of one version of the collection: for each article, its first
// line that is not blank, trimmed, and cut with an ellipsis past
// LongestTitle characters. Kept in one string, so that the titles of the
// largest collection cost well under a megabyte; the text stays in the file.
class ArticleTitles {
public:
    static constexpr qsizetype LongestTitle = 30;

    // Adds the next article's title, made from its first line that is not
    // blank (or from that line's start, at least LongestTitle + 1 characters);
    // empty when every line is blank.
    void append(QStringView line);
    // Gives back the room kept for more titles.
    void squeeze();

    int count() const { return int(m_ends.size()); }
    // The title of article `article`, 1..count(); empty outside.
    QStringView title(int article) const;
    // The bytes the titles hold.
    qsizetype memorySize() const;

private:
    QString m_text;
    std::vector<qsizetype> m_ends;
};
