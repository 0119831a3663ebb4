#include "core/ReaderController.h"

#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"

#include <new>
#include <utility>

ReaderController::ReaderController(const ProgramDirectory& directory, QObject* parent)
    : QObject(parent), m_session(directory) {
    for (QTimer* timer : {&m_bookmarkTimer, &m_confirmTimer, &m_catchUpTimer})
        timer->setSingleShot(true);
    m_bookmarkTimer.setInterval(BookmarkDelay);
    m_confirmTimer.setInterval(ConfirmDelay);
    m_catchUpTimer.setInterval(CatchUpLimit);
    connect(&m_bookmarkTimer, &QTimer::timeout, this, &ReaderController::saveMovedBookmark);
    connect(&m_confirmTimer, &QTimer::timeout, this, &ReaderController::confirmWhenSteady);
    connect(&m_catchUpTimer, &QTimer::timeout, this, &ReaderController::passedOver);
}

ReaderController::~ReaderController() = default;

void ReaderController::startIndexing() {
    if (std::exchange(m_indexStarted, true))
        return;
    // Without a program folder there is nothing to index; start-up reports it.
    if (const QString& path = m_session.formDataFilePath(); !path.isEmpty())
        m_collection.start(path);
}

bool ReaderController::start(ReaderView& view) {
    m_view = &view;
    m_state = State::Starting;
    run([this] {
        m_session.begin([this] { m_view->applySavedAppearance(); });
        startIndexing();
        m_collection.setReceivers({
            [this](DataFileIndex index) { run([&] { takeVersion(std::move(index)); }); },
            [this](std::exception_ptr failure) { run([&] { indexFailed(failure); }); },
            [this] { run([this] { passedOver(); }); },
        });
    });
    return m_state != State::Failed;
}

void ReaderController::indexFailed(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RuntimeError& error) {
        m_session.collectionFailed(error);
        m_collection.start(m_session.dataFilePath());
    }
}

void ReaderController::takeVersion(DataFileIndex index) {
    if (m_state == State::Closed)
        return;
    if (m_state == State::Starting) {
        std::optional<QString> text = m_session.takeCollection(std::move(index));
        m_state = State::Running;
        show(std::move(text));
        answerWaiting();
        if (m_closeWhenStarted)
            m_view->closeNow();
        return;
    }
    const VersionResult result = m_session.replaceCollection(std::move(index));
    if (result.ignored) {
        passedOver();
        return;
    }
    show(result.text);
    m_view->collectionReplaced();
    saveBookmarkSoon();
    if (!m_session.isPlaceConfirmed())
        m_confirmTimer.start();
    m_heldVersionStale = false;
    if (m_state == State::CatchingUp) {
        m_catchUpTimer.stop();
        m_state = State::Running;
        answerWaiting();
    }
}

void ReaderController::passedOver() {
    if (m_state != State::CatchingUp)
        return;
    m_catchUpTimer.stop();
    m_heldVersionStale = true;
    m_state = State::Running;
    answerWaiting();
}

void ReaderController::confirmWhenSteady() {
    if (m_state != State::Running && m_state != State::CatchingUp)
        return;
    // Only a version that has stayed as it was may move the bookmark.
    if (fileStamp(m_session.dataFilePath()) != m_session.collection().stamp()) {
        m_confirmTimer.start();
        return;
    }
    m_session.confirmPlace();
    saveBookmarkSoon();
}

void ReaderController::whenStarted(std::function<void()> command) {
    if (m_state == State::Running)
        command();
    else if (m_state == State::Starting || m_state == State::CatchingUp)
        m_waiting.push_back(std::move(command));
}

void ReaderController::answerWaiting() {
    while (m_state == State::Running && !m_waiting.empty()) {
        const std::function<void()> command = std::move(m_waiting.front());
        m_waiting.pop_front();
        command();
    }
}

void ReaderController::answer(Move move) {
    if (m_state != State::Running) {
        whenStarted([this, move = std::move(move)] { answer(move); });
        return;
    }
    const MoveResult result = move();
    if (result.waitsForVersion) {
        // The file is being written: nothing to show yet.
        if (m_heldVersionStale) {
            m_view->beep();
            return;
        }
        // Answered once the file has been indexed again, before any later move.
        m_waiting.push_front([this, move] { answer(move); });
        m_state = State::CatchingUp;
        m_catchUpTimer.start();
        m_collection.recheck();
        return;
    }
    switch (result.result) {
    case NavigationResult::Moved:
        show(result.text);
        saveBookmarkSoon();
        break;
    case NavigationResult::AtEdge:
        m_view->beep();
        show(std::nullopt);
        break;
    case NavigationResult::NumberTooLarge:
        m_view->tellNumberTooLarge();
        break;
    case NavigationResult::Unchanged:
        break;
    }
}

void ReaderController::show(std::optional<QString> text) {
    const ReadingPosition& position = m_session.position();
    m_view->showPlace(
        {m_session.title(), position.previousAvailable, position.nextAvailable, std::move(text)});
}

void ReaderController::showPreviousArticle() {
    answer([this] { return m_session.showPreviousArticle(); });
}

void ReaderController::showNextArticle() {
    answer([this] { return m_session.showNextArticle(); });
}

void ReaderController::showFirstArticle() {
    answer([this] { return m_session.showFirstArticle(); });
}

void ReaderController::goToArticle(std::function<QString()> askNumber) {
    // Asked once only, even when the move must wait for a new version.
    auto typed = std::make_shared<std::optional<QString>>();
    answer([this, typed, askNumber = std::move(askNumber)] {
        if (!*typed)
            *typed = askNumber();
        return m_session.goToArticle(**typed);
    });
}

bool ReaderController::showFoundArticle(qint16 article, const QString& text) {
    if (m_state != State::Running)
        return false;
    show(m_session.showFoundArticle(article, text).text);
    saveBookmarkSoon();
    return true;
}

void ReaderController::saveBookmarkSoon() {
    if (!m_bookmarkTimer.isActive())
        m_bookmarkTimer.start();
}

void ReaderController::saveMovedBookmark() {
    if (m_state != State::Running && m_state != State::CatchingUp)
        return;
    try {
        m_session.saveBookmarkIfMoved();
    } catch (...) {
        // Silent while the user reads: the next move tries again, and the save
        // at close reports what still fails.
    }
}

void ReaderController::run(const std::function<void()>& command) {
    if (m_state == State::Failed)
        return;
    try {
        command();
    } catch (const RuntimeError& error) {
        endWithError(error);
    } catch (const std::bad_alloc&) {
        endWithError(RuntimeError::outOfMemory({}));
    } catch (const std::exception& error) {
        endWithError(RuntimeError::internal(QString::fromLocal8Bit(error.what())));
    }
}

void ReaderController::endWithError(const RuntimeError& error) {
    m_state = State::Failed;
    for (QTimer* timer : {&m_bookmarkTimer, &m_confirmTimer, &m_catchUpTimer})
        timer->stop();
    m_waiting.clear();
    if (m_view)
        m_view->endWithError(error);
}

bool ReaderController::closeRequested() {
    if (m_state == State::Starting && !m_closeWaitOver) {
        if (!std::exchange(m_closeWhenStarted, true))
            QTimer::singleShot(CloseWaitForStart, this, [this] {
                m_closeWaitOver = true;
                if (m_view)
                    m_view->closeNow();
            });
        return false;
    }
    m_bookmarkTimer.stop();
    m_confirmTimer.stop();
    m_catchUpTimer.stop();
    // A failed start never writes the bookmark, and it is written only once.
    if (m_session.isStarted() && m_state != State::Failed && !m_bookmarkSaved) {
        m_bookmarkSaved = true;
        run([this] { m_session.saveBookmark(); });
    }
    if (m_state != State::Failed)
        m_state = State::Closed;
    return true;
}
