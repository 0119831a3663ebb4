#pragma once

#include "platform/RegularFile.h"

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

// Reads the bookmark file's lines into slots 1 to 20, from its first 64 KiB.
// Throws file-not-found for a missing file, the file access error for one that
// is not a regular file, and subscript-out-of-range on a 21st line, with the
// lines before it kept.
void readBookmarkFile(const QString& path, BookmarkLines& lines);

// The article that a bookmark's first line names, or 1 when that line is empty
// or cannot be used (not a number, or outside the store's slots).
qint16 bookmarkedArticle(const QString& firstLine);

// Replaces the bookmark file with one line holding the article number. The
// first line reads as the old number or the new one at every instant; a failed
// write leaves the old file byte-identical, and a file the user made read-only
// is refused. Throws RuntimeError on failure (disk full is error 61).
// `afterStep` lets tests stop the save part-way.
void writeBookmarkFile(const QString& path, qint16 article,
                       const std::function<void(SaveStep)>& afterStep = {});
