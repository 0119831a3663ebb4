// The input as Big5: the table decoder must give exactly the text of Qt's
// converter, in one call and in pieces cut where the reader cuts them or
// anywhere at all, and a cut at a line end must change nothing.

#include "fuzz/FuzzSupport.h"
#include "text/Big5Decoder.h"

#include <QStringDecoder>

namespace {

// Where the reader may end a piece: after an LF, or after a CR that no LF
// follows. The input's first byte picks one; 0 when there is none inside.
qsizetype lineEndCut(const QByteArray& bytes) {
    const auto endsPiece = [&](qsizetype i) {
        return i + 1 < bytes.size() &&
               (bytes[i] == '\n' || (bytes[i] == '\r' && bytes[i + 1] != '\n'));
    };
    qsizetype count = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        count += endsPiece(i) ? 1 : 0;
    if (count == 0)
        return 0;
    qsizetype wanted = uchar(bytes[0]) % count;
    for (qsizetype i = 0;; ++i) {
        if (endsPiece(i) && wanted-- == 0)
            return i + 1;
    }
}

// The pieces through one decoder, then an LF as the reader adds to a last
// line, which flushes a lead byte left waiting.
template <typename Decoder> QString decodeInPieces(const QByteArray& bytes, qsizetype cut) {
    Decoder decoder(Big5CodecName);
    QString text = decoder.decode(bytes.first(cut));
    text += QString(decoder.decode(bytes.sliced(cut)));
    text += QString(decoder.decode(QByteArrayView("\n")));
    return text;
}

// Big5Decoder takes no name; this gives both decoders the same constructor.
class TableDecoder : public Big5Decoder {
public:
    explicit TableDecoder(const char*) {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool usesTable = Big5Decoder().usesTable();
    fuzz::expect(usesTable, "Qt's converter gives results the table cannot hold");

    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString whole = decodeInPieces<QStringDecoder>(bytes, bytes.size());
    fuzz::expect(decodeInPieces<TableDecoder>(bytes, bytes.size()) == whole,
                 "the table decodes the whole input otherwise");
    if (const qsizetype cut = lineEndCut(bytes); cut > 0) {
        const QString pieces = decodeInPieces<QStringDecoder>(bytes, cut);
        fuzz::expect(pieces == whole, "a cut at a line end changes Qt's text");
        fuzz::expect(decodeInPieces<TableDecoder>(bytes, cut) == pieces,
                     "the table decodes pieces cut at a line end otherwise");
    }
    const qsizetype middle = bytes.size() / 2;
    fuzz::expect(decodeInPieces<TableDecoder>(bytes, middle) ==
                     decodeInPieces<QStringDecoder>(bytes, middle),
                 "the table decodes pieces cut anywhere otherwise");
    return 0;
}
