#include "core/ReaderSession.h"

#include "platform/ProgramDirectory.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"

#include <algorithm>
#include <new>
#include <utility>

ReaderSession::ReaderSession(const ProgramDirectory& directory) : m_directory(directory) {}

void ReaderSession::begin(const std::function<void()>& applySavedAppearance) {
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
            m_position.current = bookmarkedArticle(m_bookmarkLines(1));
        } catch (const RuntimeError&) {
            m_failedOnce = true;
            m_position.current = bookmarkedArticle(m_bookmarkLines(1));
            m_dataFilePath = m_directory.filePath(QStringLiteral("data.txt"));
        }
    } catch (const std::bad_alloc&) {
        throw RuntimeError::outOfMemory(QStringLiteral("啟動時記憶體不足。"));
    }
}

void ReaderSession::collectionFailed(const RuntimeError& error) {
    if (std::exchange(m_failedOnce, true))
        throw error;
    m_position.current = bookmarkedArticle(m_bookmarkLines(1));
}

void ReaderSession::takeCollection(DataFileIndex collection) {
    m_collection = std::make_shared<const DataFileIndex>(std::move(collection));
    m_position.count = m_collection->count();
    // A bookmark kept while the file held more articles opens at the last one
    // rather than at an empty page.
    if (m_position.count >= 1 && m_position.current > m_position.count)
        m_position.current = m_position.count;
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

bool ReaderSession::replaceCollection(DataFileIndex collection) {
    const std::optional<qint16> found =
        m_shownText ? findCurrentArticle(collection, *m_shownText) : std::nullopt;
    const qint16 count = collection.count();
    m_position.count = count;
    qint16 current = m_position.current;
    if (found)
        current = *found;
    else if (current > count)
        current = std::max<qint16>(count, std::min<qint16>(current, 1));
    navigation::moveTo(m_position, current);
    const std::optional<QString> shown = std::move(m_shownText);
    m_collection = std::make_shared<const DataFileIndex>(std::move(collection));
    m_shownText.reset();
    if (!shown)
        return true;
    const std::optional<QString> now = m_collection->slotText(m_position.current);
    m_shownText = now ? shown : std::nullopt;
    return now != shown;
}

std::optional<qint16> ReaderSession::findCurrentArticle(const DataFileIndex& collection,
                                                        const QString& shown) const {
    const qint16 current = m_position.current;
    const bool alike = collection.keepsSlotsAlike(*m_collection);
    const qsizetype size = m_collection->slotSize(current);
    const auto holds = [&](int index) {
        return (!alike || collection.slotSize(index) == size) &&
               collection.slotText(index) == shown;
    };
    if (holds(current))
        return current;
    // Nearest first: an article inserted or deleted before it moves it a little.
    const qint16 count = collection.count();
    for (int distance = 1; current - distance >= 1 || current + distance <= count; ++distance) {
        for (const int index : {current - distance, current + distance}) {
            if (index >= 1 && index <= count && holds(index))
                return qint16(index);
        }
    }
    return std::nullopt;
}

std::optional<QString> ReaderSession::currentText() {
    m_shownText = m_collection->slotText(m_position.current);
    return m_shownText;
}

NavigationResult ReaderSession::showPreviousArticle() {
    return navigation::previous(m_position);
}

NavigationResult ReaderSession::showNextArticle() {
    return navigation::next(m_position);
}

NavigationResult ReaderSession::showFirstArticle() {
    return navigation::first(m_position);
}

NavigationResult ReaderSession::goToArticle(QStringView typed) {
    return navigation::goTo(m_position, typed);
}

NavigationResult ReaderSession::showFoundArticle(qint16 article) {
    ArticleSlots::checkIndex(article);
    return navigation::moveTo(m_position, article);
}

QString ReaderSession::bookmarkPath() const {
    return m_directory.filePath(QStringLiteral("MyPage.txt"));
}
