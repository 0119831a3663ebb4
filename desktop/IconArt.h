#pragma once

#include <QList>
#include <QRectF>
#include <QRgb>
#include <QString>

class QImage;

// One shape of the icon, on a grid of IconGridSize by IconGridSize units.
// Angles are in degrees, counter-clockwise from three o'clock, as QPainter
// takes them; a chord is an arc closed by its straight line. The outline's
// width belongs to the drawing, not the shape: it depends on the size drawn.
struct IconShape {
    enum Kind { Ellipse, Arc, Chord };

    Kind kind;
    QRectF box;
    int startDegrees = 0;
    int spanDegrees = 0;
    QRgb fill = 0;   // fully transparent: not filled
    QRgb stroke = 0; // fully transparent: no outline
};

inline constexpr int IconGridSize = 32;

// Outline widths, in grid units. The window's small icon keeps the bold
// outlines that a 16-colour 32-pixel drawing needs; drawn larger, outlines
// take this share of the grid, as a face drawn by hand at that size would.
inline constexpr double WindowIconOutline = 2.0;
inline constexpr double ScalableOutline = 0.75;

// The outline for a drawing `pixels` square: in proportion, but never
// thinner than a pixel and a quarter, so that small icons keep their lines.
double outlineFor(int pixels);

// The yellow laughing face that every icon is made from, its mouth's teeth
// placed below an outline `outline` units wide.
QList<IconShape> laughingFaceShapes(double outline);

// The window's icon: the shapes painted without antialiasing into an indexed
// image of IconGridSize pixels square, so that it holds only the shapes' own
// colours.
QImage paintLaughingFace();

// A desktop icon `pixels` square, antialiased, with outlineFor(pixels).
QImage paintLaughingFace(int pixels);

// The shapes as a scalable SVG document, with the ScalableOutline.
QString laughingFaceSvg();

// The SVG path data of an arc of the ellipse in `box`, closed by its chord
// when `closed`.
QString svgArcPath(const QRectF& box, int startDegrees, int spanDegrees, bool closed);
