#pragma once

#include "core/ReaderSession.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"
#include "text/TextCodecs.h"

#include <functional>

// Start-up as the window runs it, the collection indexed on the spot. Throws
// what start-up ends with.
inline void startSession(
    ReaderSession& session, const std::function<void()>& applySavedAppearance = [] {}) {
    session.begin(applySavedAppearance);
    for (;;) {
        try {
            session.takeCollection(
                indexDataFile(session.dataFilePath(), narrowCodecsFor(localeCodeset())));
            return;
        } catch (const RuntimeError& error) {
            session.collectionFailed(error);
        }
    }
}
