#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QFile;

// Opens a file for reading only when it is a regular file (links followed).
// A FIFO, socket, device or directory is never opened for a blocking read: it
// would freeze the reader. Throws RuntimeError: file not found for a missing
// file, the file access error for anything else.
void openRegularFile(QFile& file, const QString& path);
// The same without throwing: false when the file cannot be opened.
bool tryOpenRegularFile(QFile& file, const QString& path);

// The steps of replaceFileContents(), for tests that stop a save part-way.
enum class SaveStep {
    TemporaryCreated,
    TemporaryWritten,
    TemporarySynced,
    Renamed,
    InPlaceOpened,
    InPlaceExtended,
    InPlaceWritten,
    InPlaceCut,
};

// Replaces a regular file's contents with `bytes`, so that at every instant the
// file holds either its old contents or the new ones: a temporary file beside
// it, written, synced and renamed over it. In a directory that takes no new
// files, an existing file is rewritten in place instead, in an order that never
// leaves its first line empty or partial: grown with line ends first, the new
// bytes over its start, then cut to their length. A link is followed.
// Throws RuntimeError: disk full (61) when the file system or quota has no
// room, the file access error (75) for any other failure, with the old file
// left byte-identical. `afterStep`, when given, runs after each step.
void replaceFileContents(const QString& path, const QByteArray& bytes,
                         const std::function<void(SaveStep)>& afterStep = {});
