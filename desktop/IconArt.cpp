#include "IconArt.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Colours of the classic 16-colour palette, so the small icon looks at home
// beside other 16-colour artwork.
constexpr QRgb Black = 0xff000000;
constexpr QRgb Yellow = 0xffffff00;
constexpr QRgb Maroon = 0xff800000;
constexpr QRgb Red = 0xffff0000;
constexpr QRgb White = 0xffffffff;

QPointF pointAt(const QRectF& box, int degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    // Screen y grows downwards, so a counter-clockwise angle subtracts.
    return {box.center().x() + box.width() / 2 * std::cos(radians),
            box.center().y() - box.height() / 2 * std::sin(radians)};
}

QString number(double value) {
    return QString::number(value, 'g', 6);
}

QString colourName(QRgb colour) {
    return qAlpha(colour) == 0 ? QStringLiteral("none") : QColor(colour).name();
}

QString svgElement(const IconShape& shape, double outline) {
    QString element;
    if (shape.kind == IconShape::Ellipse) {
        element = QStringLiteral("<ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\"")
                      .arg(number(shape.box.center().x()), number(shape.box.center().y()),
                           number(shape.box.width() / 2), number(shape.box.height() / 2));
    } else {
        element = QStringLiteral("<path d=\"%1\"")
                      .arg(svgArcPath(shape.box, shape.startDegrees, shape.spanDegrees,
                                      shape.kind == IconShape::Chord));
    }
    element += QStringLiteral(" fill=\"%1\"").arg(colourName(shape.fill));
    if (qAlpha(shape.stroke) != 0)
        element += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\" stroke-linecap=\"round\"")
                       .arg(colourName(shape.stroke), number(outline));
    return element + QStringLiteral("/>");
}

void paintShapes(QPainter& painter, double outline) {
    for (const IconShape& shape : laughingFaceShapes(outline)) {
        if (qAlpha(shape.stroke) != 0)
            painter.setPen(QPen(QColor(shape.stroke), outline, Qt::SolidLine, Qt::RoundCap));
        else
            painter.setPen(Qt::NoPen);
        painter.setBrush(qAlpha(shape.fill) == 0 ? QBrush(Qt::NoBrush)
                                                 : QBrush(QColor(shape.fill)));
        switch (shape.kind) {
        case IconShape::Ellipse:
            painter.drawEllipse(shape.box);
            break;
        case IconShape::Arc:
            painter.drawArc(shape.box, shape.startDegrees * 16, shape.spanDegrees * 16);
            break;
        case IconShape::Chord:
            painter.drawChord(shape.box, shape.startDegrees * 16, shape.spanDegrees * 16);
            break;
        }
    }
}

// The painted pixels keep exactly the shapes' colours, so the table of
// distinct ones is the whole palette.
QImage toIndexed(const QImage& canvas) {
    QList<QRgb> palette;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (!palette.contains(canvas.pixel(x, y)))
                palette.append(canvas.pixel(x, y));
    QImage indexed(canvas.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            indexed.setPixel(x, y, static_cast<uint>(palette.indexOf(canvas.pixel(x, y))));
    return indexed;
}

} // namespace

double outlineFor(int pixels) {
    constexpr double ThinnestPixels = 1.25;
    return std::max(ScalableOutline, ThinnestPixels * IconGridSize / pixels);
}

QList<IconShape> laughingFaceShapes(double outline) {
    // The teeth hang from the mouth's upper edge, just inside its outline.
    const double teethTop = 18 + outline / 2;
    return {
        {IconShape::Ellipse, QRectF(2, 2, 28, 28), 0, 0, Yellow, Black},
        // Eyes squeezed shut with laughter.
        {IconShape::Arc, QRectF(7, 9, 7, 6), 0, 180, 0, Black},
        {IconShape::Arc, QRectF(18, 9, 7, 6), 0, 180, 0, Black},
        // A wide open mouth with its teeth and tongue.
        {IconShape::Chord, QRectF(8, 10, 16, 16), 180, 180, Maroon, Black},
        {IconShape::Chord, QRectF(10, teethTop - 2, 12, 4), 180, 180, White, 0},
        {IconShape::Ellipse, QRectF(12, 19, 8, 4), 0, 0, Red, 0},
    };
}

QImage paintLaughingFace() {
    QImage canvas(IconGridSize, IconGridSize, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    paintShapes(painter, WindowIconOutline);
    painter.end();
    return toIndexed(canvas);
}

QImage paintLaughingFace(int pixels) {
    QImage canvas(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(double(pixels) / IconGridSize, double(pixels) / IconGridSize);
    paintShapes(painter, outlineFor(pixels));
    painter.end();
    return canvas.convertToFormat(QImage::Format_ARGB32);
}

QString laughingFaceSvg() {
    QStringList lines{
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                       "viewBox=\"0 0 %1 %1\">")
            .arg(IconGridSize)};
    for (const IconShape& shape : laughingFaceShapes(ScalableOutline))
        lines << QStringLiteral("  ") + svgElement(shape, ScalableOutline);
    lines << QStringLiteral("</svg>") << QString();
    return lines.join(QLatin1Char('\n'));
}

QString svgArcPath(const QRectF& box, int startDegrees, int spanDegrees, bool closed) {
    const QPointF from = pointAt(box, startDegrees);
    const QPointF to = pointAt(box, startDegrees + spanDegrees);
    // SVG's positive sweep runs clockwise on screen, QPainter's counter-clockwise.
    const int largeArc = std::abs(spanDegrees) > 180 ? 1 : 0;
    const int sweep = spanDegrees < 0 ? 1 : 0;
    QString path = QStringLiteral("M %1 %2 A %3 %4 0 %5 %6 %7 %8")
                       .arg(number(from.x()), number(from.y()), number(box.width() / 2),
                            number(box.height() / 2))
                       .arg(largeArc)
                       .arg(sweep)
                       .arg(number(to.x()), number(to.y()));
    if (closed)
        path += QStringLiteral(" Z");
    return path;
}
