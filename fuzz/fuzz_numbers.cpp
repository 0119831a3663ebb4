// The input as typed or stored text: the number readings must agree with one
// another. An input "separator NUL text" also tries that decimal separator.

#include "fuzz/FuzzSupport.h"
#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"

#include <QLocale>
#include <QString>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

bool sameNumber(std::optional<double> a, std::optional<double> b) {
    if (!a || !b)
        return a.has_value() == b.has_value();
    return *a == *b || (std::isnan(*a) && std::isnan(*b));
}

void checkRounding(double value) {
    const int mode = std::fegetround();
    qint16 rounded = 0;
    const int error = fuzz::errorOf([&] { rounded = numbers::roundToInt16(value); });
    fuzz::expect(std::fegetround() == mode, "roundToInt16 left the rounding mode changed");
    std::fesetround(FE_TONEAREST);
    const double nearest = std::nearbyint(value);
    std::fesetround(mode);
    const bool inRange = nearest >= -32768.0 && nearest <= 32767.0;
    fuzz::expect(error == (inRange ? 0 : int(RuntimeError::Overflow)),
                 "roundToInt16 raised the wrong error");
    fuzz::expect(!inRange || rounded == nearest, "roundToInt16 did not round to nearest even");
}

void checkText(const QString& text) {
    const bool numeric = numbers::isNumeric(text);
    const double value = numbers::value(text);
    fuzz::expect(numeric == !std::isnan(value), "isNumeric disagrees with value");
    const std::optional<double> plain = numbers::plainDecimal(text, QLocale().decimalPoint());
    fuzz::expect(sameNumber(plain, numeric ? std::optional(value) : std::nullopt),
                 "value differs from plainDecimal with the locale's separator");

    qint16 whole = 0;
    const int error = fuzz::errorOf([&] { whole = numbers::toInt16(text); });
    if (!numeric) {
        fuzz::expect(error == RuntimeError::TypeMismatch, "toInt16 took a text that is no number");
    } else {
        qint16 rounded = 0;
        const int roundError = fuzz::errorOf([&] { rounded = numbers::roundToInt16(value); });
        fuzz::expect(error == roundError, "toInt16 and roundToInt16 raised different errors");
        fuzz::expect(roundError != 0 || whole == rounded, "toInt16 differs from roundToInt16");
        checkRounding(value);
    }

    const double leading = numbers::leadingValue(text);
    fuzz::expect(std::isfinite(leading), "leadingValue is not finite");
    // A plain decimal with a full stop is its own leading number.
    const std::optional<double> stop = numbers::plainDecimal(text, u".");
    if (stop && std::isfinite(*stop))
        fuzz::expect(leading == *stop, "leadingValue differs on a plain decimal");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString text = QString::fromUtf8(bytes);
    checkText(text);
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        const QString separator = QString::fromUtf8(bytes.left(nul));
        const QString rest = QString::fromUtf8(bytes.sliced(nul + 1));
        checkText(rest);
        const std::optional<double> number = numbers::plainDecimal(rest, separator);
        fuzz::expect(!number || !std::isnan(*number), "plainDecimal gave NaN");
        // Any separator reads a text without it as the full stop does.
        if (!separator.isEmpty() && !rest.contains(separator) && !rest.contains(u'.'))
            fuzz::expect(sameNumber(number, numbers::plainDecimal(rest, u".")),
                         "plainDecimal depends on an absent separator");
    }
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        checkRounding(raw);
    }
    return 0;
}
