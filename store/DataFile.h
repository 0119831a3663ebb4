#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <atomic>

class ArticleSlots;
class QString;

// At most this many articles fit the store: 9999 separator lines.
inline constexpr int MaxArticles = 9998;

// Reads the data file into an empty store and returns the article count: one
// less than the number of separator lines (lines that begin with "***").
// Throws RuntimeError: file errors, running out of memory, and the overflow and
// subscript errors of a file with more separator lines than the store can take.
// Slots filled before a failure keep their text.
qint16 loadDataFile(const QString& path, ArticleSlots& store);
// The same with the converters to try given, instead of those of the locale.
// Once `stop` is set, the next read of the file throws ReadStopped.
qint16 loadDataFile(const QString& path, ArticleSlots& store, const QList<QByteArray>& codecs,
                    const std::atomic<bool>* stop = nullptr);
