#include "appearance/TextAppearance.h"

#include "appearance/AppearanceText.h"
#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"
#include "widgets/ChooserState.h"
#include "widgets/Choosers.h"
#include "widgets/RgbColor.h"

#include <QApplication>
#include <QWidget>

namespace appearance {

namespace {

// The font values of one stage or command, handed to the text box in one go
// when it ends, also when a later value fails: each change of a text box's font
// lays its text out again and loads that face, which a value about to be
// replaced need not cost.
class FontEdit {
public:
    explicit FontEdit(QWidget* textBox) : FontEdit(textBox, textBox->font()) {}
    FontEdit(QWidget* textBox, const QFont& start) : m_textBox(textBox), m_font(start) {}
    ~FontEdit() { m_textBox->setFont(m_font); }
    FontEdit(const FontEdit&) = delete;
    FontEdit& operator=(const FontEdit&) = delete;

    void setFace(const QString& name) { m_font.setFamily(name); }
    void setBold(bool on) { m_font.setBold(on); }
    void setItalic(bool on) { m_font.setItalic(on); }
    void setUnderline(bool on) { m_font.setUnderline(on); }
    void setStrikeout(bool on) { m_font.setStrikeOut(on); }
    void setSize(float points) {
        if (!(points > 0.0f && points <= MaxFontSize))
            throw RuntimeError::invalidPropertyValue();
        m_font.setPointSizeF(double(points));
    }

private:
    QWidget* m_textBox;
    QFont m_font;
};

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
    return saved.store.readSetting(saved.application, Section, key, defaultText);
}

void write(const SavedAppearance& saved, QLatin1String key, const QString& text) {
    saved.store.writeSetting(saved.application, Section, key, text);
}

} // namespace

QFont programFont() {
    QFont font(DesignFace.toString(), 9);
    font.setWeight(QFont::Normal);
    return font;
}

void applySaved(const SavedAppearance& saved, const Targets& targets, const QFont& designFont) {
    QWidget* box = targets.textBox;
    const QString no = boolText(false);
    {
        FontEdit font(box, designFont);
        font.setFace(read(saved, KeyName, DesignFace.toString()));
        font.setBold(boolFromText(read(saved, KeyBold, no)));
        font.setItalic(boolFromText(read(saved, KeyItalic, no)));
        font.setSize(sizeFromText(read(saved, KeySize, sizeText(11.0f))));
        font.setUnderline(boolFromText(read(saved, KeyUnderline, no)));
        font.setStrikeout(boolFromText(read(saved, KeyStrikethrough, no)));
    }
    setColor(box, QPalette::Text,
             colorFromText(read(saved, KeyForeColor, colorText(rgbcolor::Black))));
    setColor(box, QPalette::Base,
             colorFromText(read(saved, KeyBackColor, colorText(rgbcolor::White))));
    showBackground(targets);
}

void chooseFont(Choosers& choosers, ChooserState& dialog, const SavedAppearance& saved,
                const Targets& targets) {
    QWidget* box = targets.textBox;
    dialog.cancelIsError = true;
    dialog.flags = ChooserFlags;
    dialog.fontName = box->font().family();
    dialog.fontSize = float(box->font().pointSizeF());
    dialog.color = rgbcolor::fromQColor(colorOf(box, QPalette::Text));
    dialog.sampleBackground = rgbcolor::fromQColor(colorOf(box, QPalette::Base));
    // Bold, italic, underline and strikethrough start from the dialog's own
    // values: those of the last accepted choice of this run.
    choosers.showFont(box->window(), dialog);

    {
        FontEdit font(box);
        font.setFace(dialog.fontName);
        setColor(box, QPalette::Text, dialog.color);
        font.setBold(dialog.bold);
        font.setItalic(dialog.italic);
        font.setUnderline(dialog.underline);
        font.setStrikeout(dialog.strikeOut);
        font.setSize(dialog.fontSize);
    }

    write(saved, KeyName, dialog.fontName);
    write(saved, KeyBold, boolText(dialog.bold));
    write(saved, KeyItalic, boolText(dialog.italic));
    write(saved, KeySize, sizeText(dialog.fontSize));
    write(saved, KeyUnderline, boolText(dialog.underline));
    write(saved, KeyStrikethrough, boolText(dialog.strikeOut));
    write(saved, KeyForeColor, colorText(dialog.color));
}

void chooseBackground(Choosers& choosers, ChooserState& dialog, const SavedAppearance& saved,
                      const Targets& targets) {
    dialog.cancelIsError = true;
    dialog.flags = ChooserFlags;
    // Starts at the background on show: left at the text colour of the last
    // font choice, OK without a change would hide the text.
    dialog.color = rgbcolor::fromQColor(colorOf(targets.textBox, QPalette::Base));
    choosers.showColor(targets.textBox->window(), dialog);
    setColor(targets.textBox, QPalette::Base, dialog.color);
    showBackground(targets);
    write(saved, KeyBackColor, colorText(dialog.color));
}

} // namespace appearance
