#include "platform/NumberReadings.h"

#include "platform/RuntimeError.h"

#include <QLocale>
#include <QString>

#include <cfenv>
#include <cmath>
#include <limits>
#include <optional>

namespace numbers {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Parses the whole-text form and returns it rewritten with a full stop as
// decimal point, ready for a locale-free conversion.
std::optional<QString> normalized(QStringView text) {
    const QString separator = QLocale().decimalPoint();
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && isBlank(text[pos]))
        ++pos;
    while (end > pos && isBlank(text[end - 1]))
        --end;
    QString out;
    if (pos < end && (text[pos] == u'+' || text[pos] == u'-'))
        out += text[pos++];
    int digits = 0;
    while (pos < end && isDigit(text[pos])) {
        out += text[pos++];
        ++digits;
    }
    if (!separator.isEmpty() && text.sliced(pos, end - pos).startsWith(separator)) {
        pos += separator.size();
        out += u'.';
        while (pos < end && isDigit(text[pos])) {
            out += text[pos++];
            ++digits;
        }
    }
    if (digits == 0 || pos != end)
        return std::nullopt;
    return out;
}

} // namespace

bool isNumeric(QStringView text) {
    return normalized(text).has_value();
}

double value(QStringView text) {
    const std::optional<QString> plain = normalized(text);
    if (!plain)
        return std::numeric_limits<double>::quiet_NaN();
    return plain->toDouble();
}

double leadingValue(QStringView text) {
    QString out;
    bool signAllowed = true;
    bool pointSeen = false;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if (signAllowed && (c == u'+' || c == u'-')) {
            out += c;
        } else if (isDigit(c)) {
            out += c;
        } else if (c == u'.' && !pointSeen) {
            out += c;
            pointSeen = true;
        } else {
            break;
        }
        signAllowed = false;
    }
    bool ok = false;
    const double result = out.toDouble(&ok);
    return ok ? result : 0.0;
}

qint16 roundToInt16(double value) {
    const int savedMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(savedMode);
    if (!(rounded >= std::numeric_limits<qint16>::min() &&
          rounded <= std::numeric_limits<qint16>::max()))
        throw RuntimeError::overflow();
    return static_cast<qint16>(rounded);
}

qint16 toInt16(QStringView text) {
    const std::optional<QString> plain = normalized(text);
    if (!plain)
        throw RuntimeError::typeMismatch();
    return roundToInt16(plain->toDouble());
}

} // namespace numbers
