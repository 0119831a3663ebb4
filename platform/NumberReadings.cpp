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

std::optional<double> localeDecimal(QStringView text) {
    const QString separator = QLocale().decimalPoint();
    return plainDecimal(text, separator);
}

} // namespace

std::optional<double> plainDecimal(QStringView text, QStringView separator) {
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && isBlank(text[pos]))
        ++pos;
    while (end > pos && isBlank(text[end - 1]))
        --end;
    // Rewritten with a full stop, for a conversion that no locale changes.
    QString plain;
    if (pos < end && (text[pos] == u'+' || text[pos] == u'-'))
        plain += text[pos++];
    int digits = 0;
    while (pos < end && isDigit(text[pos])) {
        plain += text[pos++];
        ++digits;
    }
    if (!separator.isEmpty() && text.sliced(pos, end - pos).startsWith(separator)) {
        pos += separator.size();
        plain += u'.';
        while (pos < end && isDigit(text[pos])) {
            plain += text[pos++];
            ++digits;
        }
    }
    if (digits == 0 || pos != end)
        return std::nullopt;
    return plain.toDouble();
}

bool isNumeric(QStringView text) {
    return localeDecimal(text).has_value();
}

double value(QStringView text) {
    return localeDecimal(text).value_or(std::numeric_limits<double>::quiet_NaN());
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
    const std::optional<double> number = localeDecimal(text);
    if (!number)
        throw RuntimeError::typeMismatch();
    return roundToInt16(*number);
}

QString singleText(float value) {
    return QString::number(double(value), 'g', 7);
}

} // namespace numbers
