#include "Collections.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

namespace bench {

namespace {

// Bump when the generated text changes, so old files are not measured.
const QString GeneratorVersion = QStringLiteral("v2");
constexpr quint32 CollectionSeed = 20240611;
constexpr quint32 ShowSeed = 77;

const char16_t CommonHan[] = u"的一是不了人我在有他這中大來上國個到說們為子和你地出道也"
                             u"時年得就那要下以生會自著去之過家學對可她裡後小麼心多天而"
                             u"能好都然沒日於起還發成事只作當想看文無開手十用主行方又如"
                             u"前所本見經頭面公同三已老從動兩長知民樣現分將外但身些與高"
                             u"意進把法此實回二理美點月明其種聲全工己話兒者向情部正名定"
                             u"女問力機給等幾很業最間新什打便位因重被走電四第門相次東政"
                             u"海口使教西再平真聽世氣信北少關並內加化由卻代軍產入先山五"
                             u"太水萬市眼體別處總才場師書比住員九笑性通目華報立馬命張活"
                             u"難神數件安表原車白應路期叫死常提感金何更反合放做系計或司"
                             u"利受光王果親界及今京務制解各任至清物臺象記邊共風戰接它許"
                             u"八特覺望直服毛林題建南度統色字請交愛讓認算論百吃義科怎元"
                             u"社術結六功指思非流每青管夫連遠資隊跟帶花快條院變聯言權往"
                             u"展該領傳近留紅治決周保達辦運武半候七必城父強步完革深區即"
                             u"求品士轉量空甚眾技輕程";
const char16_t Punctuation[] = u"，。、；：？！「」（）";
const char AsciiPool[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

QList<QChar> encodable(QStringView pool) {
    QList<QChar> kept;
    for (QChar c : pool) {
        QStringEncoder encoder("windows-950");
        const QByteArray bytes = encoder.encode(QStringView(&c, 1));
        if (!encoder.hasError() && bytes.size() == 2)
            kept.append(c);
    }
    return kept;
}

// Chinese lines of 20 to 110 characters with some punctuation and ASCII runs.
class TextMaker {
public:
    explicit TextMaker(quint32 seed)
        : m_rng(seed), m_han(encodable(CommonHan)), m_punctuation(encodable(Punctuation)) {
        if (m_han.size() < 300 || m_punctuation.isEmpty())
            throw std::runtime_error("the Big5 converter is missing");
    }

    QString line() {
        const qsizetype length = 20 + qsizetype(next(91));
        QString text;
        text.reserve(length + 8);
        while (text.size() < length) {
            const quint32 roll = next(100);
            if (roll < 5) {
                const quint32 run = 2 + next(7);
                for (quint32 i = 0; i < run; ++i)
                    text.append(QLatin1Char(AsciiPool[next(sizeof(AsciiPool) - 1)]));
                text.append(QLatin1Char(' '));
            } else if (roll < 13) {
                text.append(m_punctuation[next(quint32(m_punctuation.size()))]);
            } else {
                text.append(m_han[next(quint32(m_han.size()))]);
            }
        }
        text.truncate(length);
        return text;
    }

    // Uniform in [0, bound); the raw engine output keeps files identical
    // across standard libraries.
    quint32 next(quint32 bound) { return quint32(m_rng() % bound); }

private:
    std::mt19937 m_rng;
    QList<QChar> m_han;
    QList<QChar> m_punctuation;
};

// One encoding's bytes of a generated collection.
struct Encoded {
    QByteArray bytes;
    // Offset just past the separator line that closes each article.
    std::vector<qsizetype> articleEnds;
};

// The same text in every encoding, indexed by Encoding. Article sizes count
// Big5 bytes, so a collection of each size holds the same articles in both.
using Generated = std::array<Encoded, AllEncodings.size()>;

class Writer {
public:
    explicit Writer(quint32 seed)
        : m_maker(seed), m_encoders{QStringEncoder(codecName(Encoding::Big5)),
                                    QStringEncoder(codecName(Encoding::Utf8))} {
        for (Encoded& e : m_out)
            e.bytes.append("***\r\n");
    }

    TextMaker& maker() { return m_maker; }

    void reserve(qint64 big5Bytes) {
        // UTF-8 takes three bytes for what Big5 takes in two.
        m_out[size_t(Encoding::Big5)].bytes.reserve(qsizetype(big5Bytes * 11 / 10 + 64));
        m_out[size_t(Encoding::Utf8)].bytes.reserve(qsizetype(big5Bytes * 16 / 10 + 64));
    }

    void appendArticle(qint64 target) {
        QByteArray& big5 = m_out[size_t(Encoding::Big5)].bytes;
        const qsizetype start = big5.size();
        while (big5.size() - start < target) {
            const QString line = m_maker.line();
            for (Encoding encoding : AllEncodings) {
                QByteArray& bytes = m_out[size_t(encoding)].bytes;
                bytes.append(m_encoders[size_t(encoding)].encode(line));
                bytes.append("\r\n");
            }
        }
        for (Encoded& e : m_out) {
            e.bytes.append("***\r\n");
            e.articleEnds.push_back(e.bytes.size());
        }
    }

    Generated take() { return std::move(m_out); }

private:
    TextMaker m_maker;
    std::array<QStringEncoder, AllEncodings.size()> m_encoders;
    Generated m_out;
};

Generated generate(int articles, qint64 articleBytes, quint32 seed) {
    Writer writer(seed);
    writer.reserve(articles * articleBytes);
    for (int i = 0; i < articles; ++i) {
        // Articles vary from half to one and a half times the mean.
        writer.appendArticle(articleBytes / 2 +
                             qint64(writer.maker().next(quint32(articleBytes) + 1)));
    }
    return writer.take();
}

void writeFile(const QString& path, QByteArrayView bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), bytes.size()) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

// Writes a file anew with the bytes it holds. How the kernel caches a file's
// pages depends on how it came there: the same collection, kept from an
// earlier run, was measured to load 30% slower per megabyte than a fresh copy
// of it, and by different amounts for each size. Rewritten, every run reads
// them all as the user's editor leaves them.
void rewriteFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray bytes = file.readAll();
    file.close();
    writeFile(path, bytes);
}

int articlesFor(int eighths) {
    return MaximalArticles * eighths / 8;
}

QString sizedDirectory(const QString& root, Encoding encoding, int eighths) {
    return QStringLiteral("%1/%2/%3-%4")
        .arg(root, GeneratorVersion, QLatin1String(encodingTag(encoding)))
        .arg(eighths);
}

QString twoArticleDirectory(const QString& root, Encoding encoding) {
    return QStringLiteral("%1/%2/%3-two")
        .arg(root, GeneratorVersion, QLatin1String(encodingTag(encoding)));
}

QString showDirectory(const QString& root) {
    return QStringLiteral("%1/%2/show").arg(root, GeneratorVersion);
}

QString repeatedDirectory(const QString& root, Encoding encoding) {
    return QStringLiteral("%1/%2/repeated-%3")
        .arg(root, GeneratorVersion, QLatin1String(encodingTag(encoding)));
}

// About 4.8 KB of Big5 an article, 40 lines of 60 甲, as the sized ones.
QByteArray repeatedText(Encoding encoding) {
    const QString line = QString(60, QChar(0x7532)) + QStringLiteral("\r\n");
    QString article = QStringLiteral("***\r\n");
    for (int i = 0; i < 40; ++i)
        article += line;
    QString text;
    text.reserve(article.size() * MaximalArticles + RepeatedPhrase.size() + 8);
    for (int i = 0; i < MaximalArticles; ++i)
        text += article;
    text += RepeatedPhrase + QStringLiteral("\r\n***\r\n");
    return QStringEncoder(codecName(encoding)).encode(text);
}

Collection describe(const QString& directory, int articles) {
    Collection c;
    c.directory = directory;
    c.dataFile = directory + QStringLiteral("/data.txt");
    c.bytes = QFileInfo(c.dataFile).size();
    c.articles = articles;
    return c;
}

} // namespace

const char* codecName(Encoding encoding) {
    return encoding == Encoding::Big5 ? "windows-950" : "UTF-8";
}

const char* encodingTag(Encoding encoding) {
    return encoding == Encoding::Big5 ? "big5" : "utf8";
}

QString sizeTag(int eighths) {
    switch (eighths) {
    case 1:
        return QStringLiteral("1of8");
    case 2:
        return QStringLiteral("1of4");
    case 4:
        return QStringLiteral("1of2");
    default:
        return QStringLiteral("full");
    }
}

QByteArray generateCollection(Encoding encoding, int articles, qint64 articleBytes, quint32 seed) {
    return generate(articles, articleBytes, seed)[size_t(encoding)].bytes;
}

void ensureCollections(const QString& root) {
    QStringList files;
    for (Encoding encoding : AllEncodings) {
        files.append(twoArticleCollection(root, encoding).dataFile);
        for (int eighths : AllEighths)
            files.append(sizedCollection(root, encoding, eighths).dataFile);
    }
    if (!std::all_of(files.begin(), files.end(),
                     [](const QString& f) { return QFileInfo::exists(f); })) {
        // The smaller collections are prefixes of the maximal one.
        const Generated full =
            generate(MaximalArticles, MaximalBytes / MaximalArticles, CollectionSeed);
        for (Encoding encoding : AllEncodings) {
            const Encoded& encoded = full[size_t(encoding)];
            for (int eighths : AllEighths) {
                const qsizetype end = encoded.articleEnds[size_t(articlesFor(eighths) - 1)];
                writeFile(sizedCollection(root, encoding, eighths).dataFile,
                          QByteArrayView(encoded.bytes.constData(), end));
            }
            writeFile(twoArticleCollection(root, encoding).dataFile,
                      QByteArrayView(encoded.bytes.constData(), encoded.articleEnds[1]));
        }
    } else {
        for (const QString& file : files)
            rewriteFile(file);
    }
    for (Encoding encoding : AllEncodings) {
        const QString repeated = repeatedDirectory(root, encoding) + QStringLiteral("/data.txt");
        if (!QFileInfo::exists(repeated))
            writeFile(repeated, repeatedText(encoding));
    }
    const QString show = showDirectory(root) + QStringLiteral("/data.txt");
    if (!QFileInfo::exists(show)) {
        Writer writer(ShowSeed);
        for (qint64 size : ShownArticleBytes)
            writer.appendArticle(size);
        writeFile(show, writer.take()[size_t(Encoding::Big5)].bytes);
    }
}

Collection sizedCollection(const QString& root, Encoding encoding, int eighths) {
    return describe(sizedDirectory(root, encoding, eighths), articlesFor(eighths));
}

Collection twoArticleCollection(const QString& root, Encoding encoding) {
    return describe(twoArticleDirectory(root, encoding), 2);
}

QString chineseLine(qint64 chars) {
    const QStringView han(CommonHan);
    QString line(chars, Qt::Uninitialized);
    for (qint64 i = 0; i < chars; ++i)
        line[i] = han[i % han.size()];
    return line;
}

Collection repeatedCollection(const QString& root, Encoding encoding) {
    return describe(repeatedDirectory(root, encoding), MaximalArticles);
}

Collection showCollection(const QString& root) {
    return describe(showDirectory(root), int(ShownArticleBytes.size()));
}

} // namespace bench
