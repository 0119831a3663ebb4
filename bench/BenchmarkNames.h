#pragma once

#include "Collections.h"

#include <string>

// The names under which the benchmarks run; the ratio table pairs them by name.
namespace bench::names {

inline std::string sized(const char* what, Encoding encoding, int eighths) {
    return std::string(what) + '/' + encodingTag(encoding) + '/' + sizeTag(eighths).toStdString();
}
// Against the decode of the same bytes in one call.
inline std::string load(Encoding encoding, int eighths) {
    return sized("load", encoding, eighths);
}
// The full collection loaded on one CPU, against the same decode.
inline std::string loadOneCpu(Encoding encoding) {
    return sized("load1core", encoding, 8);
}
// Every size loaded in each round, for the time per megabyte.
inline std::string scaling(Encoding encoding) {
    return std::string("scaling/") + encodingTag(encoding);
}
// glibc's converter against Qt's.
inline std::string iconv(Encoding encoding) {
    return std::string("iconv/") + encodingTag(encoding);
}
// Against a bare window and the decode.
inline std::string startup(Encoding encoding) {
    return std::string("startup/") + encodingTag(encoding);
}
// Right pressed at once, against the same on the first two articles.
inline std::string ready(Encoding encoding) {
    return std::string("ready/") + encodingTag(encoding);
}
// An edit's re-index, against the first index of the same collection.
inline std::string reindex(Encoding encoding) {
    return std::string("reindex/") + encodingTag(encoding);
}
// A search of the whole collection that finds nothing, against ripgrep.
inline std::string search(Encoding encoding) {
    return std::string("search/") + encodingTag(encoding);
}
// The same for text whose characters all have other forms (后来的书).
inline std::string searchVariants(Encoding encoding) {
    return std::string("search-variants/") + encodingTag(encoding);
}
// RepeatedPhrase, found in the last article of the repeated collection.
inline std::string searchRepeated(Encoding encoding) {
    return std::string("search-repeated/") + encodingTag(encoding);
}
// 甲甲甲丙, not found in the repeated collection.
inline std::string searchRepeatedShort(Encoding encoding) {
    return std::string("search-repeated-short/") + encodingTag(encoding);
}
// 甲乙乙, not found in it: its rarest character is 甲, everywhere.
inline std::string searchRepeatedDense(Encoding encoding) {
    return std::string("search-repeated-dense/") + encodingTag(encoding);
}
// The list of titles opened, filtered by title and by whole text.
inline std::string titleList(Encoding encoding) {
    return std::string("titlelist/") + encodingTag(encoding);
}
inline std::string showTag(qint64 bytes) {
    return bytes >= (qint64(1) << 20) ? std::to_string(bytes >> 20) + "MB"
                                      : std::to_string(bytes >> 10) + "KB";
}
// Against setPlainText of the same text.
inline std::string show(qint64 bytes) {
    return "show/" + showTag(bytes);
}
// A line of one letter against as many Chinese characters on one line.
inline std::string longLine(qint64 chars) {
    return "longline/" + showTag(chars);
}
// The vertical view on 5 KB of Chinese text, against the text box showing it:
// "switch" to it from the text box, "next" article shown in it, and the
// slowest "scroll" of a wheel's notch against a frame of 16 ms.
inline std::string vertical(const char* what) {
    return std::string("vertical/") + what + "/5KB";
}
// A whole shown article in the vertical view, against the text box.
inline std::string verticalWhole(qint64 bytes) {
    return "vertical/next/" + showTag(bytes);
}
inline std::string peak(Encoding encoding) {
    return std::string("peak/") + encodingTag(encoding);
}
inline std::string peakTwoArticles(Encoding encoding) {
    return peak(encoding) + "/two";
}
inline std::string peakBare() {
    return "peak/bare";
}

} // namespace bench::names
