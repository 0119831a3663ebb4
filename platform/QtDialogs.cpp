#include "platform/QtDialogs.h"

#include "platform/RuntimeError.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

void QtDialogs::beep() {
    QApplication::beep();
}

void QtDialogs::showMessage(QWidget* parent, const QString& text, const QString& title) {
    // Our texts use CR LF; the label wants plain line feeds.
    QMessageBox box(QMessageBox::NoIcon, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString QtDialogs::askText(QWidget* parent, const QString& prompt, const QString& title) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? text : QString();
}

void QtDialogs::reportUnhandledError(QWidget* parent, const RuntimeError& error) {
    const QString text = error.reportText();
    std::fprintf(stderr, "Orvenla: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Orvenla"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}
