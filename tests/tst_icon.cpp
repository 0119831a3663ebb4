#include "IconArt.h"
#include "app/AppIcon.h"

#include <QIcon>
#include <QImage>
#include <QSet>
#include <QTest>

#include <algorithm>

class TestIcon : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The window's icon is the build's painting of the shared shapes, at
    // 32 by 32 pixels in at most 16 colours, transparent around the face.
    void windowIcon() {
        const QIcon icon = laughingFaceIcon();
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
        const QImage shown = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        QSet<QRgb> colours;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                colours.insert(shown.pixel(x, y));
        QVERIFY2(colours.size() <= 16, qPrintable(QString::number(colours.size())));
        QCOMPARE(qAlpha(shown.pixel(0, 0)), 0);
        QCOMPARE(shown, paintLaughingFace().convertToFormat(QImage::Format_ARGB32));
    }

    // Each desktop icon is drawn at its own size, its outline in proportion:
    // a thin line at 256 pixels, yet at least a solid pixel at 16.
    void desktopIcons_data() {
        QTest::addColumn<int>("pixels");
        for (int pixels : {16, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%d", pixels) << pixels;
    }
    void desktopIcons() {
        QFETCH(int, pixels);
        const QImage icon = paintLaughingFace(pixels);
        QCOMPARE(icon.size(), QSize(pixels, pixels));
        QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
        // The face's outline where the middle row meets it on the left.
        int x = 0;
        while (x < pixels && qAlpha(icon.pixel(x, pixels / 2)) < 128)
            ++x;
        int outline = 0;
        for (; x < pixels && qGray(icon.pixel(x, pixels / 2)) < 128; ++x)
            ++outline;
        QVERIFY2(outline >= 1 && outline <= std::max(2, pixels / 32 + 1),
                 qPrintable(QString::number(outline)));
    }

    // The scalable icon's arcs must bend the way the painted ones do:
    // QPainter counts angles counter-clockwise, SVG sweeps clockwise.
    void svgArcs_data() {
        QTest::addColumn<QRectF>("box");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("span");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("path");
        QTest::newRow("upper half, open")
            << QRectF(7, 9, 7, 6) << 0 << 180 << false << "M 14 12 A 3.5 3 0 0 0 7 12";
        QTest::newRow("lower half, closed")
            << QRectF(8, 10, 16, 16) << 180 << 180 << true << "M 8 18 A 8 8 0 0 0 24 18 Z";
        QTest::newRow("negative span")
            << QRectF(0, 0, 10, 10) << 90 << -90 << false << "M 5 0 A 5 5 0 0 1 10 5";
        QTest::newRow("more than half")
            << QRectF(0, 0, 10, 10) << 0 << 270 << false << "M 10 5 A 5 5 0 1 0 5 10";
    }
    void svgArcs() {
        QFETCH(QRectF, box);
        QFETCH(int, start);
        QFETCH(int, span);
        QFETCH(bool, closed);
        QFETCH(QString, path);
        QCOMPARE(svgArcPath(box, start, span, closed), path);
    }
};

QTEST_MAIN(TestIcon)
#include "tst_icon.moc"
