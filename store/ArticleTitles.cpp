#include "store/ArticleTitles.h"

void ArticleTitles::append(QStringView line) {
    line = line.trimmed();
    if (line.size() <= LongestTitle) {
        m_text += line;
    } else {
        // Cut with an ellipsis, never inside a surrogate pair.
        qsizetype cut = LongestTitle - 1;
        if (line[cut - 1].isHighSurrogate())
            --cut;
        m_text += line.first(cut);
        m_text += u'…';
    }
    m_ends.push_back(m_text.size());
}

void ArticleTitles::squeeze() {
    m_text.squeeze();
    m_ends.shrink_to_fit();
}

QStringView ArticleTitles::title(int article) const {
    if (article < 1 || article > count())
        return {};
    const qsizetype from = article == 1 ? 0 : m_ends[size_t(article - 2)];
    return QStringView(m_text).sliced(from, m_ends[size_t(article - 1)] - from);
}

qsizetype ArticleTitles::memorySize() const {
    return qsizetype(sizeof(*this)) + m_text.capacity() * qsizetype(sizeof(QChar)) +
           qsizetype(m_ends.capacity() * sizeof(qsizetype));
}
