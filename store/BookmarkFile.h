#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// The first lines of the bookmark file, slots 1 to 20 (slot 0 is never used).
class BookmarkLines {
public:
    static constexpr int LastSlot = 20;

    // Throws the subscript-out-of-range error outside 0..LastSlot.
    const QString& operator()(int index) const;
    QString& operator()(int index);

private:
    std::array<QString, LastSlot + 1> m_lines;
};

// Reads the bookmark file's lines into slots 1 to 20. Throws file-not-found for
// a missing file and subscript-out-of-range on a 21st line, with the lines
// before it kept.
void readBookmarkFile(const QString& path, BookmarkLines& lines);

// The article that a bookmark's first line names, or 1 when that line is empty
// or cannot be used (not a number, or outside the store's slots).
qint16 bookmarkedArticle(const QString& firstLine);

// Replaces the bookmark file with one line holding the article number. The old
// file stays whole if the write fails, and a file the user made read-only is
// refused. Throws RuntimeError on failure.
void writeBookmarkFile(const QString& path, qint16 article);
