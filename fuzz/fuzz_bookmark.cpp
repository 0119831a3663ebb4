// The input as MyPage.txt: reading it fails only on a 21st line, and whatever
// its first line holds, the article it names lies within the store.

#include "fuzz/FuzzSupport.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/BookmarkFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path =
        fuzz::writeScratchFile(QStringLiteral("MyPage.txt"), fuzz::bytesOf(data, size));
    BookmarkLines lines;
    try {
        readBookmarkFile(path, lines);
    } catch (const RuntimeError& e) {
        fuzz::expect(e.number() == RuntimeError::SubscriptOutOfRange,
                     "reading the bookmark failed other than on a 21st line");
    }
    const qint16 article = bookmarkedArticle(lines(1));
    fuzz::expect(article >= ArticleSlots::FirstSlot && article <= ArticleSlots::LastSlot,
                 "the bookmark names an article outside the store");
    return 0;
}
