#include "platform/RuntimeError.h"
#include "widgets/ChooserState.h"
#include "widgets/QtChoosers.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>

namespace {

const QString Installed = QStringLiteral("Noto Serif CJK TC");

// Long enough for a chooser to open on a loaded machine under a sanitizer.
constexpr int DialogWaitMs = 20000;

ChooserState held() {
    ChooserState d;
    d.cancelIsError = true;
    d.flags = 323;
    d.fontName = QStringLiteral("新細明體");
    d.fontSize = 11.0f;
    d.color = 255;
    return d;
}

bool sameValues(const ChooserState& a, const ChooserState& b) {
    return a.fontName == b.fontName && a.fontSize == b.fontSize && a.bold == b.bold &&
           a.italic == b.italic && a.underline == b.underline && a.strikeOut == b.strikeOut &&
           a.color == b.color;
}

void clickOk(QWidget* dialog) {
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

} // namespace

class TestChoosers : public QObject {
    Q_OBJECT

private:
    // Runs `act` on the next modal dialog other than `outer` once it is shown,
    // as a user would, from inside the dialog's own event loop. A dialog that
    // does not show up in time fails the test instead of hanging it: whatever
    // dialogs are open then are accepted, so that their event loops return
    // without the cancel error escaping the test.
    void whenShown(std::function<void(QWidget*)> act, QWidget* outer = nullptr) {
        auto* poll = new QTimer(this);
        poll->setInterval(10);
        const QDeadlineTimer deadline(DialogWaitMs);
        connect(poll, &QTimer::timeout, this, [this, poll, act, outer, deadline] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == outer || !modal->isVisible()) {
                if (deadline.hasExpired()) {
                    poll->stop();
                    poll->deleteLater();
                    m_dialogMissed = true;
                    acceptOpenDialogs();
                }
                return;
            }
            poll->stop();
            poll->deleteLater();
            act(modal);
        });
        poll->start();
    }

    static void acceptOpenDialogs() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->accept();
        }
    }

    bool m_dialogMissed = false;

private Q_SLOTS:
    // A wait still pending after its test means its dialog never came.
    void cleanup() {
        bool missed = std::exchange(m_dialogMissed, false);
        for (QTimer* poll : findChildren<QTimer*>()) {
            missed = missed || poll->isActive();
            delete poll;
        }
        QVERIFY2(!missed, "the chooser did not show within the wait");
    }

    void fontChooserReturnsTheChoice() {
        ChooserState d = held();
        QtChoosers choosers;
        QString shownFace;
        QString shownSize;
        bool shownBold = true;
        whenShown([&](QWidget* chooser) {
            auto* face = chooser->findChild<QComboBox*>(QStringLiteral("face"));
            auto* size = chooser->findChild<QComboBox*>(QStringLiteral("size"));
            shownFace = face->currentText();
            shownSize = size->currentText();
            shownBold = chooser->findChild<QCheckBox*>(QStringLiteral("bold"))->isChecked();
            face->setEditText(Installed);
            size->setEditText(QStringLiteral("10.5"));
            chooser->findChild<QCheckBox*>(QStringLiteral("bold"))->setChecked(true);
            chooser->findChild<QCheckBox*>(QStringLiteral("strikeout"))->setChecked(true);
            whenShown(
                [&](QWidget* colors) {
                    static_cast<QColorDialog*>(colors)->setCurrentColor(QColor(0, 255, 0));
                    clickOk(colors);
                    // OK in the font chooser once the colour chooser has closed.
                    QTimer::singleShot(0, chooser, [chooser] { clickOk(chooser); });
                },
                chooser);
            chooser->findChild<QPushButton*>(QStringLiteral("colorButton"))->click();
        });
        choosers.showFont(nullptr, d);
        QCOMPARE(shownFace, QStringLiteral("新細明體"));
        QCOMPARE(shownSize, QStringLiteral("11"));
        QVERIFY(!shownBold);
        QCOMPARE(d.fontName, Installed);
        QCOMPARE(d.fontSize, 10.5f);
        QVERIFY(d.bold && !d.italic && !d.underline && d.strikeOut);
        QCOMPARE(d.color, 0xFF00);
    }

    // The sample shows the text colour on the reader's background, whatever
    // the theme's own colours, so it reads as the article will.
    void fontSampleUsesTheReadersColours() {
        ChooserState d = held();
        d.sampleBackground = 0x303030;
        QPalette shown;
        QColor painted;
        whenShown([&](QWidget* chooser) {
            auto* sample = chooser->findChild<QWidget*>(QStringLiteral("sample"));
            shown = sample->palette();
            // Inside the frame, clear of the centred text.
            const QPoint corner = sample->mapTo(chooser, QPoint(4, 4));
            painted = chooser->grab().toImage().pixelColor(corner * chooser->devicePixelRatio());
            clickOk(chooser);
        });
        QtChoosers().showFont(nullptr, d);
        QCOMPARE(shown.color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(painted, QColor(0x30, 0x30, 0x30));
    }

    // Accepted untouched, the chooser hands back exactly what it started from.
    void fontChooserKeepsUntouchedValues() {
        ChooserState d = held();
        d.bold = d.italic = d.underline = d.strikeOut = true;
        d.fontSize = 9.75f;
        const ChooserState before = d;
        QtChoosers choosers;
        whenShown([](QWidget* chooser) { clickOk(chooser); });
        choosers.showFont(nullptr, d);
        QVERIFY(sameValues(d, before));
    }

    void colorChooserReturnsTheChoice() {
        ChooserState d = held();
        d.color = 12632256;
        QColor shown;
        QtChoosers choosers;
        whenShown([&](QWidget* chooser) {
            auto* colors = static_cast<QColorDialog*>(chooser);
            shown = colors->currentColor();
            colors->setCurrentColor(QColor(0, 0, 255));
            clickOk(colors);
        });
        choosers.showColor(nullptr, d);
        QCOMPARE(shown, QColor(192, 192, 192));
        QCOMPARE(d.color, 0xFF0000);
    }

    // Cancel leaves every value as it was and is an error only when asked.
    void cancel_data() {
        QTest::addColumn<bool>("font");
        QTest::addColumn<bool>("cancelError");
        QTest::newRow("font, error") << true << true;
        QTest::newRow("font, no error") << true << false;
        QTest::newRow("colour, error") << false << true;
        QTest::newRow("colour, no error") << false << false;
    }
    void cancel() {
        QFETCH(bool, font);
        QFETCH(bool, cancelError);
        ChooserState d = held();
        d.cancelIsError = cancelError;
        const ChooserState before = d;
        QtChoosers choosers;
        whenShown([](QWidget* chooser) {
            if (auto* box = chooser->findChild<QCheckBox*>(QStringLiteral("italic")))
                box->setChecked(true);
            static_cast<QDialog*>(chooser)->reject();
        });
        int error = 0;
        try {
            if (font)
                choosers.showFont(nullptr, d);
            else
                choosers.showColor(nullptr, d);
        } catch (const RuntimeError& e) {
            error = e.number();
        }
        QCOMPARE(error, cancelError ? int(RuntimeError::ChooserCancelled) : 0);
        QVERIFY(sameValues(d, before));
    }

    // Every box is wide enough for its whole title beside the window
    // manager's buttons, however short its text.
    void boxesShowTheirWholeTitle_data() {
        QTest::addColumn<bool>("input");
        QTest::addColumn<QString>("title");
        QTest::newRow("go-to error") << false << QStringLiteral("錯誤輸入");
        QTest::newRow("long input title") << true << QStringLiteral("輸入要看的篇數，從第一篇數起");
    }
    void boxesShowTheirWholeTitle() {
        QFETCH(bool, input);
        QFETCH(QString, title);
        int width = 0;
        int needed = 0;
        whenShown([&](QWidget* box) {
            QFont titleFont = box->font();
            titleFont.setBold(true);
            // The narrowest room for a title bar's icon, minimise and close.
            needed = QFontMetrics(titleFont).horizontalAdvance(title) + 96;
            width = box->width();
            static_cast<QDialog*>(box)->done(0);
        });
        QtDialogs dialogs;
        if (input)
            dialogs.askText(nullptr, QStringLiteral("短"), title);
        else
            dialogs.showMessage(nullptr, QStringLiteral("短"), title);
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
    }
};

QTEST_MAIN(TestChoosers)
#include "tst_choosers.moc"
