#include "appearance/TextAppearance.h"

#include "appearance/AppearanceText.h"
#include "platform/Choosers.h"
#include "platform/CommonDialog.h"
#include "platform/RgbColor.h"
#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QWidget>

namespace appearance {

namespace {

template <typename Change> void changeFont(QWidget* widget, Change change) {
    QFont font = widget->font();
    change(font);
    widget->setFont(font);
}

void setFace(QWidget* textBox, const QString& name) {
    changeFont(textBox, [&](QFont& f) { f.setFamily(name); });
}

void setBold(QWidget* textBox, bool on) {
    changeFont(textBox, [&](QFont& f) { f.setBold(on); });
}

void setItalic(QWidget* textBox, bool on) {
    changeFont(textBox, [&](QFont& f) { f.setItalic(on); });
}

void setUnderline(QWidget* textBox, bool on) {
    changeFont(textBox, [&](QFont& f) { f.setUnderline(on); });
}

void setStrikeout(QWidget* textBox, bool on) {
    changeFont(textBox, [&](QFont& f) { f.setStrikeOut(on); });
}

void setSize(QWidget* textBox, float points) {
    if (!(points > 0.0f && points <= MaxFontSize))
        throw RuntimeError::invalidPropertyValue();
    changeFont(textBox, [&](QFont& f) { f.setPointSizeF(double(points)); });
}

void setColor(QWidget* widget, QPalette::ColorRole role, qint32 value) {
    // System references stand for the desktop's colours, not for whatever the
    // widget shows now.
    const QColor color = rgbcolor::toQColor(value, QApplication::palette(widget));
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
}

QColor colorOf(const QWidget* widget, QPalette::ColorRole role) {
    return widget->palette().color(QPalette::Active, role);
}

void showBackground(const Targets& targets) {
    QPalette palette = targets.background->palette();
    palette.setColor(QPalette::Window, colorOf(targets.textBox, QPalette::Base));
    targets.background->setPalette(palette);
}

QString read(const SavedAppearance& saved, QLatin1String key, const QString& defaultText) {
    return saved.store.ReadSetting(saved.application, Section, key, defaultText);
}

void write(const SavedAppearance& saved, QLatin1String key, const QString& text) {
    saved.store.WriteSetting(saved.application, Section, key, text);
}

} // namespace

void applySaved(const SavedAppearance& saved, const Targets& targets) {
    QWidget* box = targets.textBox;
    const QString no = boolText(false);
    setFace(box, read(saved, KeyName, QStringLiteral("新細明體")));
    setBold(box, boolFromText(read(saved, KeyBold, no)));
    setItalic(box, boolFromText(read(saved, KeyItalic, no)));
    setSize(box, sizeFromText(read(saved, KeySize, sizeText(11.0f))));
    setUnderline(box, boolFromText(read(saved, KeyUnderline, no)));
    setStrikeout(box, boolFromText(read(saved, KeyStrikethrough, no)));
    setColor(box, QPalette::Text,
             colorFromText(read(saved, KeyForeColor, colorText(rgbcolor::Black))));
    setColor(box, QPalette::Base,
             colorFromText(read(saved, KeyBackColor, colorText(rgbcolor::White))));
    showBackground(targets);
}

void chooseFont(Choosers& choosers, CommonDialog& dialog, const SavedAppearance& saved,
                const Targets& targets) {
    QWidget* box = targets.textBox;
    dialog.CancelError = true;
    dialog.Flags = ChooserFlags;
    dialog.FontName = box->font().family();
    dialog.FontSize = float(box->font().pointSizeF());
    dialog.Color = rgbcolor::fromQColor(colorOf(box, QPalette::Text));
    // Bold, italic, underline and strikethrough start from the dialog's own
    // values: those of the last accepted choice of this run.
    choosers.showFont(box->window(), dialog);

    setFace(box, dialog.FontName);
    setColor(box, QPalette::Text, dialog.Color);
    setBold(box, dialog.FontBold);
    setItalic(box, dialog.FontItalic);
    setUnderline(box, dialog.FontUnderline);
    setStrikeout(box, dialog.FontStrikethru);
    setSize(box, dialog.FontSize);

    write(saved, KeyName, dialog.FontName);
    write(saved, KeyBold, boolText(dialog.FontBold));
    write(saved, KeyItalic, boolText(dialog.FontItalic));
    write(saved, KeySize, sizeText(dialog.FontSize));
    write(saved, KeyUnderline, boolText(dialog.FontUnderline));
    write(saved, KeyStrikethrough, boolText(dialog.FontStrikethru));
    write(saved, KeyForeColor, colorText(dialog.Color));
}

void chooseBackground(Choosers& choosers, CommonDialog& dialog, const SavedAppearance& saved,
                      const Targets& targets) {
    dialog.CancelError = true;
    dialog.Flags = ChooserFlags;
    // No colour is set first: the chooser starts where the last command left it.
    choosers.showColor(targets.textBox->window(), dialog);
    setColor(targets.textBox, QPalette::Base, dialog.Color);
    showBackground(targets);
    write(saved, KeyBackColor, colorText(dialog.Color));
}

} // namespace appearance
