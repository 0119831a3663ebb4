// Writes the laughing face as the window's 32 by 32 PNG and as the scalable
// SVG, at build time: make_icons PNG SVG
#include "IconArt.h"

#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_icons PNG SVG\n");
        return 2;
    }
    const QString pngPath = QString::fromLocal8Bit(argv[1]);
    const QString svgPath = QString::fromLocal8Bit(argv[2]);
    if (!paintLaughingFace().save(pngPath, "PNG")) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", argv[1]);
        return 1;
    }
    QSaveFile svg(svgPath);
    if (!svg.open(QIODevice::WriteOnly) || svg.write(laughingFaceSvg().toUtf8()) < 0 ||
        !svg.commit()) {
        std::fprintf(stderr, "make_icons: cannot write %s: %s\n", argv[2],
                     qPrintable(svg.errorString()));
        return 1;
    }
    return 0;
}
