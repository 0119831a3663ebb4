// The input as data.txt: the index, which splits the file in its bytes and
// decodes a slot at a time, must give every slot as a plain model of the
// splitting rule does on the whole decoded text, error and count included.

#include "fuzz/FuzzSupport.h"
#include "platform/RuntimeError.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QByteArrayList>
#include <QMap>
#include <QStringDecoder>

#include <optional>

namespace {

struct Load {
    std::optional<qint16> count;
    int error = 0;
};

Load load(const QString& path, DataFileIndex& index, const QByteArrayList& codecs) {
    index = DataFileIndex();
    try {
        index = indexDataFile(path, codecs);
        return {index.count(), 0};
    } catch (const RuntimeError& e) {
        return {std::nullopt, e.number()};
    }
}

// How many bytes at the end of the file are a UTF-8 character cut short that
// some continuation bytes would make whole; 0 when none are.
qsizetype cutUtf8Character(const QByteArray& bytes) {
    for (qsizetype cut = 1; cut <= 3 && cut <= bytes.size(); ++cut) {
        for (int second = 0x80; second <= 0xBF; ++second) {
            QByteArray whole = bytes.right(cut);
            if (whole.size() == 1)
                whole += char(second);
            for (int more = 0; more < 3; ++more) {
                QStringDecoder decoder(QStringDecoder::Utf8);
                const QString text = decoder.decode(whole);
                if (!decoder.hasError() && text.size() >= 1 && whole.size() > cut)
                    return cut;
                whole += char(0x80);
            }
        }
    }
    return 0;
}

// The text as one decoder call sees the whole file: the first converter that
// takes it without an error, else the last one. The loader adds a line end to
// a last line that lacks one; so does this, and it reads the same either way.
QString decodeWhole(QByteArray bytes, const QByteArrayList& codecs) {
    const bool lineEnded = bytes.isEmpty() || bytes.endsWith('\n') || bytes.endsWith('\r');
    if (!lineEnded)
        bytes += '\n';
    for (qsizetype i = 0; i < codecs.size(); ++i) {
        QStringDecoder decoder(codecs[i].constData());
        const QString text = decoder.decode(bytes);
        if (!decoder.hasError() || i + 1 == codecs.size())
            return text;
        // A file ending inside a UTF-8 character is being written: still UTF-8,
        // the cut character as U+FFFD.
        if (const qsizetype cut = lineEnded ? 0 : cutUtf8Character(bytes.chopped(1));
            cut > 0 && codecs[i] == "UTF-8") {
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString before = utf8.decode(bytes.chopped(1 + cut));
            // Nothing else may be left unfinished before it.
            const QString after = utf8.decode(QByteArrayView("\n"));
            if (!utf8.hasError() && after == u"\n")
                return before + QChar(0xFFFD) + u'\n';
        }
    }
    return {};
}

// The splitting rule, line by line: separator lines count, other lines go to
// the current slot as CR LF and the line, and the store's limits stop it.
struct Model {
    Load load;
    QMap<int, QString> slots;
};

Model split(const QString& text) {
    Model model;
    int index = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = QStringView(text).sliced(pos, end - pos);
        if (line.startsWith(u"***")) {
            if (index == 32767) {
                model.load.error = RuntimeError::Overflow;
                return model;
            }
            ++index;
        } else if (index > ArticleSlots::LastSlot) {
            model.load.error = RuntimeError::SubscriptOutOfRange;
            return model;
        } else {
            QString& slot = model.slots[index];
            slot += u"\r\n";
            slot += line;
        }
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++pos;
    }
    if (index > MaxArticles + 1)
        model.load.error = RuntimeError::SubscriptOutOfRange;
    else
        model.load.count = qint16(index - 1);
    return model;
}

void checkAgainstModel(const QByteArray& bytes, const QByteArrayList& codecs, const Load& load,
                       const DataFileIndex& index) {
    const Model model = split(decodeWhole(bytes, codecs));
    fuzz::expect(load.count == model.load.count, "count differs from the model");
    fuzz::expect(load.error == model.load.error, "error differs from the model");
    if (!load.count)
        return;
    for (int i = ArticleSlots::FirstSlot; i <= ArticleSlots::LastSlot; ++i)
        fuzz::expect(index.slotText(i) == model.slots.value(i), "slot differs from the model");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DataFileIndex index;
    static const QByteArrayList utf8ThenBig5{"UTF-8", "windows-950"};
    static const QByteArrayList big5Only{"windows-950"};

    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString path = fuzz::writeScratchFile(QStringLiteral("data.txt"), bytes);
    for (const QByteArrayList* codecs : {&utf8ThenBig5, &big5Only}) {
        const Load loaded = load(path, index, *codecs);
        checkAgainstModel(bytes, *codecs, loaded, index);
    }
    return 0;
}
