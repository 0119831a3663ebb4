#pragma once

#include <QByteArray>
#include <QString>

#include <array>

namespace bench {

enum class Encoding { Big5, Utf8 };

inline constexpr std::array<Encoding, 2> AllEncodings{Encoding::Big5, Encoding::Utf8};
// Collection sizes in eighths of the maximal one.
inline constexpr std::array<int, 4> AllEighths{1, 2, 4, 8};
inline constexpr int MaximalArticles = 9998;
// In Big5; the UTF-8 collections hold the same text, in about 1.43 times the bytes.
inline constexpr qint64 MaximalBytes = qint64(50) << 20;

// The sizes of the articles in the show collection, in bytes of Big5 text.
inline constexpr std::array<qint64, 3> ShownArticleBytes{qint64(10) << 10, qint64(1) << 20,
                                                         qint64(8) << 20};

// The lengths of the single lines shown against Chinese text, in characters.
inline constexpr std::array<qint64, 2> LongLineChars{qint64(1) << 20, qint64(8) << 20};

const char* codecName(Encoding encoding);
const char* encodingTag(Encoding encoding);
QString sizeTag(int eighths);

struct Collection {
    QString directory;
    QString dataFile;
    qint64 bytes = 0;
    int articles = 0;
};

// Writes every collection under root unless it is already there. The text is
// the same for every run of the same generator, so timings stay comparable.
void ensureCollections(const QString& root);

// A collection of MaximalArticles * eighths / 8 articles in that encoding.
Collection sizedCollection(const QString& root, Encoding encoding, int eighths);
// The first two articles of the maximal collection: the reader opens on the
// same text and has a next article to move to, so comparing the two isolates
// what the rest of the collection costs.
Collection twoArticleCollection(const QString& root, Encoding encoding);
// MaximalArticles articles of one character repeated, 甲, the last ending in
// RepeatedPhrase: a text where every place is a candidate for a search that
// anchors on 甲.
Collection repeatedCollection(const QString& root, Encoding encoding);
inline const QString RepeatedPhrase = QString(30, QChar(0x7532)) + QChar(0x4E59);

// Three articles of ShownArticleBytes sizes, in Big5.
Collection showCollection(const QString& root);

// Common Chinese characters in a fixed order, as one line of `chars` characters.
QString chineseLine(qint64 chars);

// Generates a collection in memory; exposed for checks of the generator. The
// text depends on the seed only, and articleBytes counts its Big5 bytes.
QByteArray generateCollection(Encoding encoding, int articles, qint64 articleBytes, quint32 seed);

} // namespace bench
