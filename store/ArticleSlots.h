#pragma once

#include "text/NarrowText.h"

#include <QString>
#include <QStringView>

#include <vector>

// The fixed store of article texts: slot 0 holds the text before the first separator line,
// slots 1 to the article count the articles, and the slot after the last article
// the text after the last separator. It never grows or shrinks.
//
// It holds the data file's whole text as read and where each slot's lines lie in
// it; a slot's text is made when asked for.
class ArticleSlots {
public:
    static constexpr int FirstSlot = 0;
    static constexpr int LastSlot = 10000;

    // Where a slot's lines lie in the text: whole lines, each with its line end.
    struct Lines {
        qsizetype from = 0;
        qsizetype to = 0;
    };

    // A slot's text: for each of its lines, CR LF followed by the line. Throws the
    // subscript-out-of-range error outside FirstSlot..LastSlot.
    QString operator()(int index) const;

    // Takes the file's text and the lines of each slot; slots past the end of
    // `slots` are empty.
    void assign(WholeNarrowText text, std::vector<Lines> slots);

    static void checkIndex(int index);

private:
    WholeNarrowText m_text;
    // As many as the collection fills, so that a small one costs little.
    std::vector<Lines> m_slots;
};

// The stored form of whole lines, each ending with CR LF, a lone CR or a lone LF
// (the last one may have none): CR LF followed by the line, for each line.
QString storedLines(QStringView lines);
