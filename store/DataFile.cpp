#include "store/DataFile.h"

#include "platform/Int16.h"
#include "platform/NarrowText.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"

namespace {

QString tooManyArticles() {
    return QStringLiteral("data.txt 的文章多於本程式能保存的數量：最多 %1 篇"
                          "（%2 行以 *** 開頭的分隔行）。")
        .arg(MaxArticles)
        .arg(MaxArticles + 1);
}

class ArticleFiler final : public LineSink {
public:
    explicit ArticleFiler(ArticleSlots& store) : m_store(store) {}

    void restart() override {
        m_store.clear();
        m_index = 0;
    }

    void line(QStringView text) override {
        if (text.startsWith(u"***")) {
            m_store.finishSlot(m_index);
            try {
                m_index = int16::add(m_index, 1);
            } catch (const RuntimeError& error) {
                throw RuntimeError(error.number(), error.description(), tooManyArticles());
            }
            return;
        }
        if (m_index > ArticleSlots::LastSlot)
            throw RuntimeError::subscriptOutOfRange(tooManyArticles());
        m_store.appendLine(m_index, text);
    }

    qint16 index() const { return m_index; }

private:
    ArticleSlots& m_store;
    qint16 m_index = 0;
};

} // namespace

qint16 loadDataFile(const QString& path, ArticleSlots& store) {
    ArticleFiler filer(store);
    readNarrowTextLines(path, filer);
    store.finishSlot(filer.index());
    if (filer.index() > MaxArticles + 1)
        throw RuntimeError::subscriptOutOfRange(tooManyArticles());
    return int16::add(filer.index(), -1);
}
