#include "platform/QtDialogs.h"

#include "platform/RuntimeError.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace {

// A message box with one OK button, its caption in the program's language.
void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    // Our texts use CR LF; the label wants plain line feeds.
    QMessageBox box(icon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(OkCaption.toString());
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
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

void QtDialogs::reportUnhandledError(QWidget* parent, const RuntimeError& error) {
    const QString text = error.reportText();
    std::fprintf(stderr, "Orvenla: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    showBox(parent, QMessageBox::Critical, QStringLiteral("Orvenla"), text);
}
