// Start-up and shutdown of the reader window.

#include "app/Form1.h"

#include "platform/ProgramDirectory.h"
#include "platform/RuntimeError.h"
#include "store/BookmarkFile.h"
#include "store/DataFile.h"
#include "store/DataFilePreload.h"

#include <new>

bool Form1::Form_Load() {
    try {
        try {
            DataPath = m_services.directory.filePath(QStringLiteral("data.txt"));
            runAppearanceStage();
            readBookmarkStage();
            takeArticleLoadAndTitle();
        } catch (const RuntimeError&) {
            // Recovery pass: start again from taking the current article.
            takeArticleLoadAndTitle();
        }
    } catch (const RuntimeError& error) {
        endProgram(error);
        return false;
    } catch (const std::bad_alloc&) {
        // A second pass would only run short of memory again, or open the
        // window silently without what could not be read.
        endProgram(RuntimeError::outOfMemory(QStringLiteral("啟動時記憶體不足。")));
        return false;
    } catch (const std::exception& error) {
        endProgram(RuntimeError::internal(QString::fromLocal8Bit(error.what())));
        return false;
    }
    m_started = true;
    return true;
}

void Form1::takeArticleLoadAndTitle() {
    CurArticle = bookmarkedArticle(BookmarkLine(1));
    LoadArticles();
    RefreshTitle();
}

void Form1::LoadArticles() {
    DataPath = m_services.directory.filePath(QStringLiteral("data.txt"));
    // The store is filled once: a recovery pass after a complete read only
    // shows the article again, and one after a failed read starts afresh.
    if (!m_storeFilled) {
        ArticleText.clear();
        const std::optional<qint16> preloaded =
            m_services.preload ? m_services.preload->take(DataPath, ArticleText) : std::nullopt;
        ArticleCount = preloaded ? *preloaded : loadDataFile(DataPath, ArticleText);
        m_storeFilled = true;
    }
    ShowArticle(CurArticle);
}

void Form1::runAppearanceStage() {
    // A stored value that cannot be applied must not cost the user the reading
    // position: the stage stops at that value, and start-up goes on.
    try {
        ApplySavedAppearance();
    } catch (const RuntimeError&) {
    }
}

void Form1::readBookmarkStage() {
    readBookmarkFile(m_services.directory.filePath(QStringLiteral("MyPage.txt")), BookmarkLine);
}

void Form1::writeBookmarkStage() {
    writeBookmarkFile(m_services.directory.filePath(QStringLiteral("MyPage.txt")), CurArticle);
}
