#pragma once

#include "Collections.h"

#include <string>

// The names under which the benchmarks run; the ratio table pairs them by name.
namespace bench::names {

inline std::string sized(const char* what, Encoding encoding, int eighths) {
    return std::string(what) + '/' + encodingTag(encoding) + '/' + sizeTag(eighths).toStdString();
}
inline std::string floor(Encoding encoding, int eighths) {
    return sized("floor", encoding, eighths);
}
inline std::string load(Encoding encoding, int eighths) {
    return sized("load", encoding, eighths);
}
inline std::string iconvFloor(Encoding encoding) {
    return sized("iconv", encoding, 8);
}
inline std::string startup(Encoding encoding) {
    return std::string("startup/") + encodingTag(encoding);
}
inline std::string startupFirstArticle(Encoding encoding) {
    return startup(encoding) + "/first";
}
inline std::string startupBare() {
    return "startup/bare";
}
inline std::string showTag(qint64 bytes) {
    return bytes >= (qint64(1) << 20) ? std::to_string(bytes >> 20) + "MB"
                                      : std::to_string(bytes >> 10) + "KB";
}
inline std::string show(qint64 bytes) {
    return "show/" + showTag(bytes);
}
inline std::string setPlainText(qint64 bytes) {
    return "setPlainText/" + showTag(bytes);
}
inline std::string peak(Encoding encoding) {
    return std::string("peak/") + encodingTag(encoding);
}
inline std::string peakFirstArticle(Encoding encoding) {
    return peak(encoding) + "/first";
}
inline std::string peakBare() {
    return "peak/bare";
}

} // namespace bench::names
