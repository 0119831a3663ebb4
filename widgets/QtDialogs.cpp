#include "widgets/QtDialogs.h"

#include "platform/RuntimeError.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace {

// Room beside the title for what the window manager draws there: its icon and
// buttons, and padding.
constexpr int TitleBarButtonsWidth = 160;

// Window managers draw the title in a font of their own, often bold and larger
// than the box's, and shorten a title that does not fit to "…". Qt knows that
// font only where the desktop tells it, so the measure is generous.
int widthForTitle(const QString& title) {
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) * 3 / 2 + TitleBarButtonsWidth;
}

// Boxes size themselves to their contents; a strut at the bottom of their
// layout makes them at least as wide as their title too. A message box's text
// stands in its grid's last column, which is the one to widen: a strut in the
// first would push the text aside.
void reserveTitleWidth(QDialog& box) {
    auto* strut = new QSpacerItem(widthForTitle(box.windowTitle()), 0, QSizePolicy::Fixed,
                                  QSizePolicy::Fixed);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(strut, grid->rowCount(), grid->columnCount() - 1);
    else
        box.layout()->addItem(strut);
}

// A message box with one OK button, its caption in the program's language.
void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    // Our texts use CR LF; the label wants plain line feeds.
    QMessageBox box(icon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(OkCaption.toString());
    reserveTitleWidth(box);
    box.exec();
}

} // namespace

void QtDialogs::beep() {
    QApplication::beep();
}

void QtDialogs::showMessage(QWidget* parent, const QString& text, const QString& title) {
    showBox(parent, QMessageBox::NoIcon, title, text);
}

QString QtDialogs::askText(QWidget* parent, const QString& prompt, const QString& title) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setOkButtonText(OkCaption.toString());
    dialog.setCancelButtonText(CancelCaption.toString());
    reserveTitleWidth(dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

void QtDialogs::reportUnhandledError(QWidget* parent, const RuntimeError& error) {
    const QString text = error.reportText();
    std::fprintf(stderr, "Orvenla: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    showBox(parent, QMessageBox::Critical, QStringLiteral("Orvenla"), text);
}
