#pragma once

#include <QString>
#include <QtGlobal>

// The values that the window's one common-dialog object (cmDialog1) keeps
// between uses of its choosers. Each value stays as it was last set or returned.
struct CommonDialog {
    bool CancelError = false;
    qint32 Flags = 0;
    QString FontName;
    float FontSize = 0.0f;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    bool FontStrikethru = false;
    qint32 Color = 0;
};
