#include "store/ArticleSlots.h"

#include "platform/RuntimeError.h"

void ArticleSlots::checkIndex(int index) {
    if (index < FirstSlot || index > LastSlot)
        throw RuntimeError::subscriptOutOfRange();
}

const QString& ArticleSlots::operator()(int index) const {
    checkIndex(index);
    return m_slots[size_t(index)];
}

void ArticleSlots::appendLine(int index, QStringView line) {
    checkIndex(index);
    QString& slot = m_slots[size_t(index)];
    slot.append(u"\r\n").append(line);
}

void ArticleSlots::finishSlot(int index) {
    if (index >= FirstSlot && index <= LastSlot)
        m_slots[size_t(index)].squeeze();
}

void ArticleSlots::clear() {
    for (QString& slot : m_slots)
        slot = QString();
}
