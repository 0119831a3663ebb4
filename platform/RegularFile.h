#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

class QFile;

// Opens a file for reading only when it is a regular file (links followed).
// A FIFO, socket, device or directory is never opened for a blocking read: it
// would freeze the reader. Throws RuntimeError: file not found for a missing
// file, the file access error for anything else.
void openRegularFile(QFile& file, const QString& path);
// The same without throwing: false when the file cannot be opened.
bool tryOpenRegularFile(QFile& file, const QString& path);
// The first `maxBytes` bytes of a regular file (all of a shorter one). Throws
// as openRegularFile() does, and the file access error when a read fails.
QByteArray readRegularFileStart(const QString& path, qint64 maxBytes);
// Reads `size` bytes at `offset` of an open file, leaving its position alone.
// False when the file has fewer or cannot be read.
bool readFileAt(const QFile& file, qint64 offset, char* into, qint64 size);

// What tells one state of a file from another: which file the name leads to,
// its size, and when its contents and its entry last changed.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
// The file's stamp now, links followed; none when it cannot be seen.
std::optional<FileStamp> fileStamp(const QString& path);
// The stamp of the file an open handle reads, whatever name it has now.
std::optional<FileStamp> fileStamp(const QFile& file);

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
// it, written, synced and renamed over it. Whenever the folder cannot take the
// temporary file or the rename (no room, no inodes, no write permission, an
// append-only folder), an existing file is rewritten in place instead, in an
// order that never leaves its first line empty or partial: grown with line ends
// first, the new bytes over its start, then cut to their length. A link is
// followed; the file keeps its mode. Throws RuntimeError: disk full (61) when
// the last way tried had no room, the file access error (75) for any other
// failure, with the old file left byte-identical. `afterStep`, when given,
// runs after each step.
void replaceFileContents(const QString& path, const QByteArray& bytes,
                         const std::function<void(SaveStep)>& afterStep = {});

// Removes the temporary files that saves of `path` left when they were killed:
// regular files of this user's, named as a save names them, that no running
// save holds. Never fails.
void removeStaleTemporaryFiles(const QString& path);
