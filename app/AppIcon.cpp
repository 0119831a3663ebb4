#include "app/AppIcon.h"

#include <QIcon>
#include <QPixmap>

QIcon laughingFaceIcon() {
    return QIcon(QPixmap(QStringLiteral(":/icons/laughing-face.png")));
}
