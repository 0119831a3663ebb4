#pragma once

#include <QString>
#include <QStringView>

#include <vector>

// The fixed store of article texts: slot 0 holds the text before the first separator line,
// slots 1 to the article count the articles, and the slot after the last article
// the text after the last separator. It never grows or shrinks.
class ArticleSlots {
public:
    static constexpr int FirstSlot = 0;
    static constexpr int LastSlot = 10000;

    // Throws the subscript-out-of-range error outside FirstSlot..LastSlot.
    const QString& operator()(int index) const;

    // Appends lines to a slot as CR LF followed by the line, for each line. The
    // lines each end with CR LF, a lone CR or a lone LF (the last one may have
    // none). Throws like operator().
    void appendLines(int index, QStringView lines);
    // Gives back the spare capacity of a slot that will receive no more lines.
    void finishSlot(int index);
    void clear();
    // Takes over the slots 0..tailLast of `tail`, a store filled from a later
    // part of the same file: its slot 0 continues slot `last`, and its slot i
    // becomes slot last + i. Throws like operator() past the last slot.
    void appendStore(int last, ArticleSlots& tail, int tailLast);

    static void checkIndex(int index);

private:
    std::vector<QString> m_slots = std::vector<QString>(LastSlot + 1);
};
