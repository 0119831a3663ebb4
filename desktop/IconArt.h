#pragma once

#include <QList>
#include <QRectF>
#include <QRgb>
#include <QString>

class QImage;

// One shape of the icon, on a grid of IconGridSize by IconGridSize units.
// Angles are in degrees, counter-clockwise from three o'clock, as QPainter
// takes them; a chord is an arc closed by its straight line.
struct IconShape {
    enum Kind { Ellipse, Arc, Chord };

    Kind kind;
    QRectF box;
    int startDegrees = 0;
    int spanDegrees = 0;
    QRgb fill = 0; // fully transparent: not filled
    QRgb stroke = 0;
    int strokeWidth = 0; // 0: no outline
};

inline constexpr int IconGridSize = 32;

// The yellow laughing face that both the scalable desktop icon and the
// window's small icon are made from.
QList<IconShape> laughingFaceShapes();

// The shapes painted without antialiasing into an indexed image of
// IconGridSize pixels square, so that it holds only the shapes' own colours.
QImage paintLaughingFace();

// The shapes as a scalable SVG document.
QString laughingFaceSvg();

// The SVG path data of an arc of the ellipse in `box`, closed by its chord
// when `closed`.
QString svgArcPath(const QRectF& box, int startDegrees, int spanDegrees, bool closed);
