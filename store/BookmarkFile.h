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
