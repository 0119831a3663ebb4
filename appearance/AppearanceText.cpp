#include "appearance/AppearanceText.h"

#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"
#include "widgets/RgbColor.h"

#include <cmath>
#include <limits>
#include <optional>

namespace appearance {

namespace {

// A full stop as decimal point, so no locale can change what a value means.
std::optional<double> plainDecimal(QStringView text) {
    return numbers::plainDecimal(text, u".");
}

} // namespace

QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

bool boolFromText(QStringView text) {
    const QStringView word = text.trimmed();
    if (word.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    if (const std::optional<double> number = plainDecimal(text))
        return *number != 0.0;
    throw RuntimeError::typeMismatch();
}

QString sizeText(float points) {
    return numbers::singleText(points);
}

float sizeFromText(QStringView text) {
    const std::optional<double> number = plainDecimal(text);
    if (!number)
        throw RuntimeError::typeMismatch();
    if (std::abs(*number) > double(std::numeric_limits<float>::max()))
        throw RuntimeError::overflow();
    return float(*number);
}

QString colorText(qint32 value) {
    return QString::number(value);
}

qint32 colorFromText(QStringView text) {
    const std::optional<double> number = plainDecimal(text);
    if (!number)
        throw RuntimeError::typeMismatch();
    // Halves go to the even neighbour (the default rounding mode).
    const double whole = std::nearbyint(*number);
    if (!(whole >= std::numeric_limits<qint32>::min() && whole <= rgbcolor::White))
        throw RuntimeError::overflow();
    return qint32(whole);
}

} // namespace appearance
