#include "core/ReaderSession.h"

#include "platform/ProgramDirectory.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"
#include "store/DataFilePreload.h"

#include <new>

ReaderSession::ReaderSession(const ProgramDirectory& directory, DataFilePreload* preload)
    : m_directory(directory), m_preload(preload) {}

void ReaderSession::start(const std::function<void()>& applySavedAppearance) {
    try {
        try {
            m_dataFilePath = m_directory.filePath(QStringLiteral("data.txt"));
            // A stored value that cannot be applied must not cost the user the
            // reading position: the look stops at that value, start-up goes on.
            try {
                applySavedAppearance();
            } catch (const RuntimeError&) {
            }
            readBookmarkFile(bookmarkPath(), m_bookmarkLines);
            takeCurrentArticleAndLoad();
        } catch (const RuntimeError&) {
            takeCurrentArticleAndLoad();
        }
    } catch (const std::bad_alloc&) {
        throw RuntimeError::outOfMemory(QStringLiteral("啟動時記憶體不足。"));
    }
    m_started = true;
    if (m_bookmarkLines(1) == QString::number(m_position.current))
        m_savedArticle = m_position.current;
    // Saves that a kill cut short left their temporary files behind.
    removeStaleTemporaryFiles(bookmarkPath());
}

void ReaderSession::saveBookmark() {
    // Unknown until the save succeeds: a failed one may have left either.
    m_savedArticle.reset();
    writeBookmarkFile(bookmarkPath(), m_position.current);
    m_savedArticle = m_position.current;
}

void ReaderSession::saveBookmarkIfMoved() {
    if (m_started && m_savedArticle != m_position.current)
        saveBookmark();
}

void ReaderSession::takeCurrentArticleAndLoad() {
    m_position.current = bookmarkedArticle(m_bookmarkLines(1));
    loadArticles();
}

void ReaderSession::loadArticles() {
    m_dataFilePath = m_directory.filePath(QStringLiteral("data.txt"));
    // The store is filled once: a recovery pass after a complete read keeps
    // it, and one after a failed read starts afresh.
    if (!m_storeFilled) {
        m_articles.clear();
        const std::optional<qint16> preloaded =
            m_preload ? m_preload->take(m_dataFilePath, m_articles) : std::nullopt;
        m_position.count = preloaded ? *preloaded : loadDataFile(m_dataFilePath, m_articles);
        m_storeFilled = true;
    }
}

QString ReaderSession::bookmarkPath() const {
    return m_directory.filePath(QStringLiteral("MyPage.txt"));
}
