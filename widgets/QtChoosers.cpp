#include "widgets/QtChoosers.h"

#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"
#include "widgets/ChooserState.h"
#include "widgets/QtDialogs.h"
#include "widgets/RgbColor.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace {

QColor shownColor(qint32 value, const QWidget* parent, Qt::GlobalColor fallback = Qt::black) {
    try {
        return rgbcolor::toQColor(value, QApplication::palette(parent));
    } catch (const RuntimeError&) {
        return fallback;
    }
}

// Sizes are typed with a full stop, whatever the locale, as they are stored.
QString sizeText(float points) {
    return points > 0.0f ? numbers::singleText(points) : QString();
}

// Runs a colour chooser from `start`; returns true when the user took a colour.
bool pickColor(QWidget* parent, const QColor& start, QColor& chosen) {
    QColorDialog chooser(start, parent);
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    chooser.setWindowTitle(QStringLiteral("色彩"));
    if (chooser.exec() != QDialog::Accepted)
        return false;
    chosen = chooser.selectedColor();
    return true;
}

class FontChooser final : public QDialog {
public:
    FontChooser(const ChooserState& start, QWidget* parent)
        : QDialog(parent), m_color(start.color),
          m_sampleBackground(shownColor(start.sampleBackground, parent, Qt::white)) {
        setWindowTitle(QStringLiteral("字型"));
        const bool effects = (start.flags & chooserflags::FontEffects) != 0;

        m_face = new QFontComboBox(this);
        m_face->setObjectName(QStringLiteral("face"));
        m_face->setInsertPolicy(QComboBox::NoInsert);
        m_face->setCurrentFont(QFont(start.fontName));
        // A face that is not installed (the design face usually is not) is
        // still shown and returned as it was given.
        m_face->setEditText(start.fontName);

        m_size = new QComboBox(this);
        m_size->setObjectName(QStringLiteral("size"));
        m_size->setEditable(true);
        m_size->setInsertPolicy(QComboBox::NoInsert);
        for (int points : QFontDatabase::standardSizes())
            m_size->addItem(QString::number(points));
        m_size->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral(R"(\d{1,4}(\.\d{1,2})?)")), m_size));
        m_size->setEditText(sizeText(start.fontSize));

        m_bold = addCheck(QStringLiteral("bold"), QStringLiteral("粗體"), start.bold);
        m_italic = addCheck(QStringLiteral("italic"), QStringLiteral("斜體"), start.italic);
        m_underline =
            addCheck(QStringLiteral("underline"), QStringLiteral("底線"), start.underline);
        m_strikeout =
            addCheck(QStringLiteral("strikeout"), QStringLiteral("刪除線"), start.strikeOut);

        m_colorButton = new QPushButton(QStringLiteral("選擇色彩…"), this);
        m_colorButton->setObjectName(QStringLiteral("colorButton"));

        m_sample = new QLabel(QStringLiteral("AaBbYyZz 中文字型範例"), this);
        m_sample->setObjectName(QStringLiteral("sample"));
        m_sample->setAlignment(Qt::AlignCenter);
        m_sample->setMinimumSize(320, 80);
        m_sample->setFrameShape(QFrame::StyledPanel);
        m_sample->setAutoFillBackground(true);

        m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        m_buttons->button(QDialogButtonBox::Ok)->setText(OkCaption.toString());
        m_buttons->button(QDialogButtonBox::Cancel)->setText(CancelCaption.toString());

        auto* form = new QFormLayout(this);
        form->addRow(QStringLiteral("字型："), m_face);
        form->addRow(QStringLiteral("大小："), m_size);
        form->addRow(QStringLiteral("樣式："), row({m_bold, m_italic}));
        if (effects) {
            form->addRow(QStringLiteral("效果："), row({m_underline, m_strikeout}));
            form->addRow(QStringLiteral("色彩："), row({m_colorButton}));
        } else {
            m_underline->hide();
            m_strikeout->hide();
            m_colorButton->hide();
        }
        form->addRow(QStringLiteral("範例："), m_sample);
        form->addRow(m_buttons);

        connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(m_colorButton, &QPushButton::clicked, this, [this] {
            QColor chosen;
            if (pickColor(this, shownColor(m_color, this), chosen)) {
                m_color = rgbcolor::fromQColor(chosen);
                refresh();
            }
        });
        connect(m_face, &QComboBox::editTextChanged, this, [this] { refresh(); });
        connect(m_size, &QComboBox::editTextChanged, this, [this] { refresh(); });
        for (QCheckBox* box : {m_bold, m_italic, m_underline, m_strikeout})
            connect(box, &QCheckBox::toggled, this, [this] { refresh(); });
        refresh();
    }

    void takeChoice(ChooserState& dialog) const {
        dialog.fontName = m_face->currentText();
        dialog.fontSize = chosenSize();
        dialog.bold = m_bold->isChecked();
        dialog.italic = m_italic->isChecked();
        dialog.underline = m_underline->isChecked();
        dialog.strikeOut = m_strikeout->isChecked();
        dialog.color = m_color;
    }

private:
    QCheckBox* addCheck(const QString& name, const QString& caption, bool checked) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->setChecked(checked);
        return box;
    }

    QWidget* row(std::initializer_list<QWidget*> widgets) {
        auto* holder = new QWidget(this);
        auto* layout = new QHBoxLayout(holder);
        layout->setContentsMargins(0, 0, 0, 0);
        for (QWidget* w : widgets)
            layout->addWidget(w);
        layout->addStretch();
        return holder;
    }

    // The typed size, or 0 when it is no usable size.
    float chosenSize() const {
        bool ok = false;
        const float points = m_size->currentText().toFloat(&ok);
        return ok && points > 0.0f && points <= MaxFontSize ? points : 0.0f;
    }

    void refresh() {
        const float points = chosenSize();
        m_buttons->button(QDialogButtonBox::Ok)
            ->setEnabled(points > 0.0f && !m_face->currentText().isEmpty());

        QFont font(m_face->currentText());
        font.setPointSizeF(points > 0.0f ? std::min(points, 72.0f) : 9.0f);
        font.setBold(m_bold->isChecked());
        font.setItalic(m_italic->isChecked());
        font.setUnderline(m_underline->isChecked());
        font.setStrikeOut(m_strikeout->isChecked());
        m_sample->setFont(font);

        const QColor color = shownColor(m_color, this);
        QPalette palette = m_sample->palette();
        // Both colours are the reader's own, never the theme's: on a dark
        // theme's base the default black text could not be read.
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Window, m_sampleBackground);
        m_sample->setPalette(palette);
        QPixmap swatch(16, 16);
        swatch.fill(color);
        m_colorButton->setIcon(QIcon(swatch));
    }

    QFontComboBox* m_face = nullptr;
    QComboBox* m_size = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
    QCheckBox* m_underline = nullptr;
    QCheckBox* m_strikeout = nullptr;
    QPushButton* m_colorButton = nullptr;
    QLabel* m_sample = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    qint32 m_color;
    QColor m_sampleBackground;
};

void cancelled(const ChooserState& dialog) {
    if (dialog.cancelIsError)
        throw RuntimeError::chooserCancelled();
}

} // namespace

void QtChoosers::showFont(QWidget* parent, ChooserState& dialog) {
    FontChooser chooser(dialog, parent);
    if (chooser.exec() != QDialog::Accepted)
        return cancelled(dialog);
    chooser.takeChoice(dialog);
}

void QtChoosers::showColor(QWidget* parent, ChooserState& dialog) {
    const QColor start = (dialog.flags & chooserflags::ColorStartFromHeld) != 0
                             ? shownColor(dialog.color, parent)
                             : QColor(Qt::black);
    QColor chosen;
    if (!pickColor(parent, start, chosen))
        return cancelled(dialog);
    dialog.color = rgbcolor::fromQColor(chosen);
}
