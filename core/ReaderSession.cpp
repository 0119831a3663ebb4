#include "core/ReaderSession.h"

#include "platform/ProgramDirectory.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"

#include <algorithm>
#include <new>
#include <utility>

ReaderSession::ReaderSession(const ProgramDirectory& directory) : m_directory(directory) {}

const QString& ReaderSession::formDataFilePath() {
    if (m_dataFilePath.isEmpty() && !m_directory.path().isEmpty())
        m_dataFilePath = m_directory.filePath(QStringLiteral("data.txt"));
    return m_dataFilePath;
}

void ReaderSession::begin(const std::function<void()>& applySavedAppearance) {
    try {
        try {
            if (formDataFilePath().isEmpty())
                m_directory.filePath(QStringLiteral("data.txt")); // throws what is missing
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
            // Without a program folder a second pass cannot do better.
            if (m_dataFilePath.isEmpty())
                throw;
        }
    } catch (const std::bad_alloc&) {
        throw RuntimeError::outOfMemory(QStringLiteral("啟動時記憶體不足。"));
    }
    m_confirmedPlace = m_position.current;
}

void ReaderSession::collectionFailed(const RuntimeError& error) {
    if (std::exchange(m_failedOnce, true))
        throw error;
    m_position.current = bookmarkedArticle(m_bookmarkLines(1));
}

std::optional<QString> ReaderSession::takeCollection(DataFileIndex collection) {
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
    std::optional<QString> text = currentText();
    if (text)
        choose(*text);
    else
        m_confirmedPlace = m_position.current;
    return text;
}

void ReaderSession::choose(QString text) {
    m_followed = m_collection->copyOf(m_position.current, std::move(text));
    m_shown = m_followed;
    m_placeConfirmed = true;
    m_confirmedPlace = m_position.current;
}

qint16 ReaderSession::bookmarkedPlace() const {
    return m_placeConfirmed ? m_position.current : m_confirmedPlace;
}

void ReaderSession::saveBookmark() {
    const qint16 place = bookmarkedPlace();
    // Unknown until the save succeeds: a failed one may have left either.
    m_savedArticle.reset();
    writeBookmarkFile(bookmarkPath(), place);
    m_savedArticle = place;
}

void ReaderSession::saveBookmarkIfMoved() {
    if (m_started && m_savedArticle != bookmarkedPlace())
        saveBookmark();
}

void ReaderSession::confirmPlace() {
    m_placeConfirmed = true;
    m_confirmedPlace = m_position.current;
}

VersionResult ReaderSession::replaceCollection(DataFileIndex collection) {
    const qint16 count = collection.count();
    if (count < 1 && m_position.count >= 1)
        return {true, std::nullopt};
    const qint16 current = m_position.current;
    bool confirmed = m_placeConfirmed;
    std::optional<qint16> target;
    const DataFileIndex::SlotCopy* found = nullptr;
    if (m_followed && (target = findNearest(collection, *m_followed, current))) {
        found = &*m_followed;
        confirmed = true;
    } else if (m_shown && (target = findNearest(collection, *m_shown, current))) {
        found = &*m_shown;
    } else {
        target = current > count ? std::max<qint16>(count, std::min<qint16>(current, 1)) : current;
    }
    // The text is read once per version: a found article's is the one looked for.
    std::optional<QString> text = found ? std::optional(found->text) : collection.slotText(*target);
    if (!text)
        return {true, std::nullopt};
    if (*target != current && !found)
        confirmed = false;
    m_position.count = count;
    navigation::moveTo(m_position, *target);
    m_collection = std::make_shared<const DataFileIndex>(std::move(collection));
    const bool changed = !m_shown || m_shown->text != *text;
    m_shown = m_collection->copyOf(m_position.current, std::move(*text));
    m_placeConfirmed = confirmed;
    if (confirmed)
        m_confirmedPlace = m_position.current;
    return {false, changed ? std::optional(m_shown->text) : std::nullopt};
}

std::optional<qint16> ReaderSession::findNearest(const DataFileIndex& collection,
                                                 const DataFileIndex::SlotCopy& copy,
                                                 qint16 around) {
    if (collection.holds(around, copy))
        return around;
    // An empty article is no sign of where the reader was.
    if (copy.text.isEmpty())
        return std::nullopt;
    // Nearest first: an article inserted or deleted before it moves it a little.
    const int count = collection.count();
    for (int distance = 1; around - distance >= 1 || around + distance <= count; ++distance) {
        for (const int index : {around - distance, around + distance}) {
            if (index >= 1 && index <= count && collection.holds(index, copy))
                return qint16(index);
        }
    }
    return std::nullopt;
}

template <typename Command> MoveResult ReaderSession::move(Command&& command) {
    const ReadingPosition before = m_position;
    MoveResult result{command(m_position), QString(), false};
    if (result.result != NavigationResult::Moved)
        return result;
    std::optional<QString> text = currentText();
    if (!text) {
        // Never the title of one article with the text of another.
        m_position = before;
        return {NavigationResult::Unchanged, QString(), true};
    }
    result.text = *text;
    choose(std::move(*text));
    return result;
}

MoveResult ReaderSession::showPreviousArticle() {
    return move(navigation::previous);
}

MoveResult ReaderSession::showNextArticle() {
    return move(navigation::next);
}

MoveResult ReaderSession::showFirstArticle() {
    return move(navigation::first);
}

MoveResult ReaderSession::goToArticle(QStringView typed) {
    return move([typed](ReadingPosition& position) { return navigation::goTo(position, typed); });
}

MoveResult ReaderSession::showFoundArticle(qint16 article, const QString& text) {
    ArticleSlots::checkIndex(article);
    navigation::moveTo(m_position, article);
    choose(text);
    return {NavigationResult::Moved, text};
}

QString ReaderSession::bookmarkPath() const {
    return m_directory.filePath(QStringLiteral("MyPage.txt"));
}
