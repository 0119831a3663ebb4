#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <optional>

class ArticleSlots;
class QString;

// At most this many articles fit the store: 9999 separator lines.
inline constexpr int MaxArticles = 9998;

// Reads the data file into an empty store and returns the article count: one
// less than the number of separator lines (lines that begin with "***").
// Throws RuntimeError: file errors, and the overflow and subscript errors of a
// file with more separator lines than the store can take. Slots filled before a
// failure keep their text.
qint16 loadDataFile(const QString& path, ArticleSlots& store);
// The same with the converters to try given, instead of those of the locale.
qint16 loadDataFile(const QString& path, ArticleSlots& store, const QList<QByteArray>& codecs);

// The same in one pass on this thread, as when the file is too small to cut.
qint16 loadDataFileInOnePass(const QString& path, ArticleSlots& store,
                             const QList<QByteArray>& codecs);

// Loads the file in two parts decoded at once, the second from byte `cut`,
// which must start a line. Gives nothing, with the store to be cleared,
// whenever the one-pass load must decide instead: other converters than UTF-8
// and Big5, a read failure, or more separator lines than the store takes.
std::optional<qint16> loadDataFileInTwo(const QString& path, ArticleSlots& store,
                                        const QList<QByteArray>& codecs, qint64 cut);
