#include "core/ReaderSession.h"

#include "platform/ProgramDirectory.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"
#include "store/DataFilePreload.h"

#include <algorithm>
#include <new>
#include <utility>

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
    // A bookmark kept while the file held more articles opens at the last one
    // rather than at an empty page. Beyond the store it still fails below.
    if (m_position.count >= 1 && m_position.current > m_position.count &&
        m_position.current <= ArticleSlots::LastSlot)
        m_position.current = m_position.count;
}

void ReaderSession::loadArticles() {
    m_dataFilePath = m_directory.filePath(QStringLiteral("data.txt"));
    // The store is filled once: a recovery pass after a complete read keeps
    // it, and one after a failed read starts afresh.
    if (!m_storeFilled) {
        m_articles.clear();
        const std::optional<qint16> outlined =
            m_preload ? m_preload->takeOutline(m_dataFilePath) : std::nullopt;
        FileStamp stamp;
        m_position.count = outlined ? *outlined : loadDataFile(m_dataFilePath, m_articles, &stamp);
        m_collectionStamp = outlined ? m_preload->outlineStamp() : stamp;
        m_loadPending = outlined.has_value();
        m_storeFilled = true;
    }
}

void ReaderSession::loadRestInBackground() {
    if (m_loadPending)
        m_preload->startLoading();
}

bool ReaderSession::finishLoading() {
    if (!std::exchange(m_loadPending, false))
        return false;
    m_position.count = m_preload->finishLoading(m_articles);
    return !m_preload->loadedAsOutlined();
}

bool ReaderSession::replaceCollection(ArticleSlots articles, qint16 count, const FileStamp& stamp) {
    finishLoading();
    const QString shown = currentText();
    const std::optional<qint16> found = findCurrentArticle(articles, count, shown);
    m_articles = std::move(articles);
    m_position.count = count;
    m_collectionStamp = stamp;
    if (found)
        m_position.current = *found;
    else if (m_position.current > count)
        m_position.current = std::max<qint16>(count, std::min<qint16>(m_position.current, 1));
    m_position.previousAvailable = m_position.current > 1;
    m_position.nextAvailable = m_position.current < count;
    return m_articles(m_position.current) != shown;
}

std::optional<qint16> ReaderSession::findCurrentArticle(const ArticleSlots& articles, qint16 count,
                                                        const QString& shown) {
    const qint16 current = m_position.current;
    if (articles(current) == shown)
        return current;
    // Nearest first: an article inserted or deleted before it moves it a little.
    for (int distance = 1; current - distance >= 1 || current + distance <= count; ++distance) {
        for (const int index : {current - distance, current + distance}) {
            if (index >= 1 && index <= count && articles.sameLines(index, m_articles, current))
                return qint16(index);
        }
    }
    return std::nullopt;
}

QString ReaderSession::currentText() {
    if (m_loadPending) {
        if (const std::optional<QString> text = m_preload->articleText(m_position.current))
            return *text;
        finishLoading();
    }
    return m_articles(m_position.current);
}

const ArticleSlots& ReaderSession::articles() {
    finishLoading();
    return m_articles;
}

NavigationResult ReaderSession::showPreviousArticle() {
    finishLoading();
    return navigation::previous(m_position);
}

NavigationResult ReaderSession::showNextArticle() {
    finishLoading();
    return navigation::next(m_position);
}

NavigationResult ReaderSession::showFirstArticle() {
    finishLoading();
    return navigation::first(m_position);
}

NavigationResult ReaderSession::goToArticle(QStringView typed) {
    finishLoading();
    return navigation::goTo(m_position, typed);
}

QString ReaderSession::bookmarkPath() const {
    return m_directory.filePath(QStringLiteral("MyPage.txt"));
}
