#include "store/BookmarkFile.h"

#include "platform/RuntimeError.h"

namespace {

void checkIndex(int index) {
    if (index < 0 || index > BookmarkLines::LastSlot)
        throw RuntimeError::subscriptOutOfRange();
}

} // namespace

const QString& BookmarkLines::operator()(int index) const {
    checkIndex(index);
    return m_lines[size_t(index)];
}

QString& BookmarkLines::operator()(int index) {
    checkIndex(index);
    return m_lines[size_t(index)];
}
