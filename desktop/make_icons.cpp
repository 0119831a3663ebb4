// Writes the laughing face at build time: the window's 32 by 32 PNG, the
// scalable SVG and the desktop's PNG at each size asked for.
//   make_icons WINDOW_PNG SVG [PIXELS=PNG]...
#include "IconArt.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QString>

#include <cstdio>

namespace {

bool savePng(const QImage& image, const QString& path) {
    if (QDir().mkpath(QFileInfo(path).path()) && image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
    return false;
}

bool saveSvg(const QString& path) {
    QSaveFile svg(path);
    if (svg.open(QIODevice::WriteOnly) && svg.write(laughingFaceSvg().toUtf8()) >= 0 &&
        svg.commit())
        return true;
    std::fprintf(stderr, "make_icons: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(svg.errorString()));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icons WINDOW_PNG SVG [PIXELS=PNG]...\n");
        return 2;
    }
    if (!savePng(paintLaughingFace(), QString::fromLocal8Bit(argv[1])) ||
        !saveSvg(QString::fromLocal8Bit(argv[2])))
        return 1;
    for (int i = 3; i < argc; ++i) {
        const QString sized = QString::fromLocal8Bit(argv[i]);
        const qsizetype equals = sized.indexOf(QLatin1Char('='));
        bool ok = false;
        const int pixels = sized.left(equals).toInt(&ok);
        if (equals < 0 || !ok || pixels <= 0) {
            std::fprintf(stderr, "make_icons: not PIXELS=PNG: %s\n", argv[i]);
            return 2;
        }
        if (!savePng(paintLaughingFace(pixels), sized.mid(equals + 1)))
            return 1;
    }
    return 0;
}
