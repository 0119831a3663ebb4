// Vertical reading and the zoom in the real window, driven by its keys, the
// wheel and the mouse.

#include "WindowFixture.h"
#include "widgets/VerticalTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

// A poem, a long article of many columns with 終點 near its end, and a short one.
QByteArray collection() {
    QByteArray bytes = "***\r\n\r\n靜夜思\r\n床前明月光，疑是地上霜。\r\n***\r\n";
    for (int line = 1; line <= 120; ++line)
        bytes += "第" + QByteArray::number(line) + "行：春眠不覺曉，處處聞啼鳥。\r\n";
    return bytes + "終點\r\n***\r\n\r\n尾\r\n***\r\n";
}

struct VerticalFixture : WindowFixture {
    bool open(const QByteArray& bookmark) {
        files.write(QStringLiteral("data.txt"), collection());
        files.write(QStringLiteral("MyPage.txt"), bookmark);
        return reopen();
    }
    bool reopen() {
        if (!startWindow())
            return false;
        application = window().session().dataFilePath();
        window().show();
        return QTest::qWaitForWindowActive(&window());
    }
    // The collection's name in the settings store.
    QString application;
    VerticalTextView* view() { return window().findChild<VerticalTextView*>(); }
    QScrollBar* bar() { return view()->horizontalScrollBar(); }
    QString setting(const char* section, const char* key) {
        return settings.values.value(
            FakeSettingsStore::path(application, QLatin1String(section), QLatin1String(key)));
    }

    // A key as Qt names it ("F8", "PgDown", "Ctrl++"), or the wheel turned
    // a notch: "Wheel+" (up) or "Wheel-", "Ctrl+Wheel+" zooming.
    void press(const QString& key) {
        QWidget* focus = QApplication::focusWidget();
        if (key.contains(u"Wheel")) {
            QWidget* under = view()->isVisible() ? view()->viewport() : text()->viewport();
            const QPointF at(under->rect().center());
            QWheelEvent wheel(at, under->mapToGlobal(at), QPoint(),
                              QPoint(0, key.endsWith(u'+') ? 120 : -120), Qt::NoButton,
                              key.startsWith(u"Ctrl") ? Qt::ControlModifier : Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(under, &wheel);
            return;
        }
        const QKeyCombination combination = QKeySequence::fromString(key)[0];
        QTest::keyClick(focus, combination.key(), combination.keyboardModifiers());
    }
    // Near the top of a character, before it.
    QPointF before(qsizetype position) {
        const QRectF rect = view()->characterRect(position);
        return {rect.center().x(), rect.top() + rect.height() / 4};
    }
    // The mouse pressed before one text position's character and dragged to another's.
    void drag(qsizetype from, qsizetype to) {
        QWidget* viewport = view()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, before(from).toPoint());
        const QPointF end = before(to);
        QMouseEvent move(QEvent::MouseMove, end, viewport->mapToGlobal(end), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, end.toPoint());
    }
};

// Where the ink of a character lies in its square: the middle of the ink,
// as a fraction of the square from its top left corner, and its size.
struct Ink {
    QPointF middle;
    QSizeF size;
};

Ink inkOf(VerticalTextView* view, qsizetype position) {
    const QImage image = view->viewport()->grab().toImage();
    const QRect cell = view->characterRect(position).toAlignedRect();
    const QRgb background = view->palette().color(QPalette::Base).rgb();
    QRect ink;
    for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) {
            if (image.rect().contains(x, y) && qGray(image.pixel(x, y)) < qGray(background) - 96)
                ink |= QRect(x, y, 1, 1);
        }
    }
    if (ink.isEmpty())
        return {};
    return {QPointF((ink.center().x() - cell.left() + 0.5) / cell.width(),
                    (ink.center().y() - cell.top() + 0.5) / cell.height()),
            QSizeF(ink.size())};
}

} // namespace

class VerticalTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void switchAndRestore() {
        VerticalFixture fx;
        QVERIFY(fx.open("1"));
        QVERIFY(!fx.view()->isVisible());
        fx.press("F8");
        QVERIFY(fx.view()->isVisible());
        QVERIFY(fx.action("verticalAction")->isChecked());
        // The box keeps the keys, the text and what a screen reader reads.
        QCOMPARE(QApplication::focusWidget(), fx.text());
        QCOMPARE(fx.setting("Reading", "Vertical"), "True");
        QVERIFY(fx.setting("Font", "Name").isEmpty());
        fx.form.reset();
        QVERIFY(fx.reopen());
        QVERIFY(fx.view()->isVisible());
        QVERIFY(fx.action("verticalAction")->isChecked());
        fx.press("F8");
        QVERIFY(!fx.view()->isVisible());
        QCOMPARE(fx.setting("Reading", "Vertical"), "False");
        QVERIFY(!fx.text()->isReadOnly());
    }

    // Scroll is where the columns were turned to: 0 at the start (the right
    // end), "max" at the far left, ">0" anywhere past the start.
    void keys_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("scroll");
        const QString second = QStringLiteral("Orvenla(2 of 3)");
        QTest::newRow("opens at the right end") << QStringList{} << second << "0";
        QTest::newRow("PageDown") << QStringList{"PgDown"} << second << ">0";
        QTest::newRow("PageDown, PageUp") << QStringList{"PgDown", "PgUp"} << second << "0";
        QTest::newRow("End") << QStringList{"End"} << second << "max";
        QTest::newRow("End, Home") << QStringList{"End", "Home"} << second << "0";
        QTest::newRow("wheel down") << QStringList{"Wheel-"} << second << ">0";
        QTest::newRow("wheel down and up") << QStringList{"Wheel-", "Wheel+"} << second << "0";
        QTest::newRow("Right") << QStringList{"End", "Right"} << "Orvenla(3 of 3)"
                               << "0";
        QTest::newRow("Left") << QStringList{"Left"} << "Orvenla(1 of 3)"
                              << "0";
        QTest::newRow("Enter") << QStringList{"Return"} << "Orvenla(3 of 3)"
                               << "0";
    }
    void keys() {
        QFETCH(QStringList, keys);
        QFETCH(QString, title);
        QFETCH(QString, scroll);
        VerticalFixture fx;
        QVERIFY(fx.open("2"));
        fx.press("F8");
        QVERIFY(fx.bar()->maximum() > fx.bar()->pageStep());
        for (const QString& key : keys)
            fx.press(key);
        QTRY_COMPARE(fx.window().windowTitle(), title);
        QCoreApplication::processEvents();
        const int value = fx.bar()->value();
        if (scroll == u"max")
            QCOMPARE(value, fx.bar()->maximum());
        else if (scroll == u">0")
            QVERIFY(value > 0 && value < fx.bar()->maximum());
        else
            QCOMPARE(value, 0);
        // For reading: no key has changed the text.
        QVERIFY(!fx.text()->document()->isUndoAvailable());
    }

    void selectAndCopy() {
        VerticalFixture fx;
        QVERIFY(fx.open("1"));
        fx.press("F8");
        // "\n\n靜夜思\n床前明月光，疑...": 月 is at 9, the comma at 11.
        fx.drag(9, 11);
        QCOMPARE(fx.text()->textCursor().selectedText(), "月光");
        fx.press("Shift+Down");
        fx.press("Shift+Down");
        fx.press("Ctrl+C");
        QCOMPARE(QApplication::clipboard()->text(), "月光，疑");
        fx.press("Ctrl+A");
        fx.press("Ctrl+C");
        QCOMPARE(QApplication::clipboard()->text(), fx.text()->toPlainText());
    }

    void findScrollsToTheMatch() {
        VerticalFixture fx;
        QVERIFY(fx.open("2"));
        fx.press("F8");
        fx.press("Ctrl+F");
        auto* field = fx.window().findChild<QLineEdit*>(QStringLiteral("findField"));
        field->setText(QStringLiteral("終點"));
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE(fx.text()->textCursor().selectedText(), "終點");
        QCoreApplication::processEvents();
        QVERIFY(fx.bar()->value() > 0);
        const QRectF match = fx.view()->characterRect(fx.text()->textCursor().selectionStart());
        QVERIFY(QRectF(fx.view()->viewport()->rect()).contains(match));
    }

    // The choosers' font and colours show in the vertical view at once.
    void choosersApply() {
        VerticalFixture fx;
        QVERIFY(fx.open("1"));
        fx.press("F8");
        fx.choosers.fontSteps << [](ChooserState& dialog) {
            dialog.fontSize = 20;
            dialog.color = 255;
            return true;
        };
        fx.choosers.colorSteps << [](ChooserState& dialog) {
            dialog.color = 0;
            return true;
        };
        fx.action("fontAction")->trigger();
        fx.action("backgroundAction")->trigger();
        QCOMPARE(fx.view()->font().pointSizeF(), 20.0);
        QCOMPARE(fx.view()->palette().color(QPalette::Text), QColor(Qt::red));
        QCOMPARE(fx.view()->palette().color(QPalette::Base), QColor(Qt::black));
        QVERIFY(fx.view()->isVisible());
    }

    // Sizes in points, from the first run's 11.
    void zoom_data() {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<double>("size");
        QTest::newRow("Ctrl++") << false << QStringList{"Ctrl++"} << 12.0;
        QTest::newRow("Ctrl+=") << false << QStringList{"Ctrl+="} << 12.0;
        QTest::newRow("Ctrl+-") << false << QStringList{"Ctrl+-"} << 10.0;
        QTest::newRow("not below 8")
            << false << QStringList{"Ctrl+-", "Ctrl+-", "Ctrl+-", "Ctrl+-"} << 8.0;
        QTest::newRow("Ctrl+0 back") << false << QStringList{"Ctrl++", "Ctrl++", "Ctrl+0"} << 11.0;
        QTest::newRow("Ctrl+wheel") << false << QStringList{"Ctrl+Wheel+"} << 12.0;
        QTest::newRow("vertical, Ctrl++") << true << QStringList{"Ctrl++", "Ctrl++"} << 14.0;
        QTest::newRow("vertical, Ctrl+wheel") << true << QStringList{"Ctrl+Wheel-"} << 10.0;
    }
    void zoom() {
        QFETCH(bool, vertical);
        QFETCH(QStringList, keys);
        QFETCH(double, size);
        VerticalFixture fx;
        QVERIFY(fx.open("1"));
        if (vertical)
            fx.press("F8");
        for (const QString& key : keys)
            fx.press(key);
        QCOMPARE(fx.text()->font().pointSizeF(), size);
        QCOMPARE(fx.view()->font().pointSizeF(), size);
        // Kept as the font chooser keeps it, within a second.
        QTRY_COMPARE_WITH_TIMEOUT(fx.setting("Font", "Size"), QString::number(size), 1500);
    }

    void zoomBackAfterARestart() {
        VerticalFixture fx;
        QVERIFY(fx.open("1"));
        fx.press("Ctrl++");
        fx.form.reset();
        QCOMPARE(fx.setting("Font", "Size"), "12");
        QVERIFY(fx.reopen());
        QCOMPARE(fx.text()->font().pointSizeF(), 12.0);
        fx.press("Ctrl+0");
        QCOMPARE(fx.text()->font().pointSizeF(), 11.0);
    }

    // Where the ink lies in a character's square, as fractions of it: the
    // vertical forms of the sentence marks sit in the upper right quarter,
    // an ideograph in the middle, and a turned dash stands along the column.
    void glyphs_data() {
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<QRectF>("middle");
        QTest::addColumn<bool>("tall");
        const QRectF centre(0.3, 0.3, 0.4, 0.4);
        const QRectF upperRight(0.5, 0.0, 0.5, 0.5);
        QTest::newRow("ideograph") << qsizetype(1) << centre << false;
        QTest::newRow("comma") << qsizetype(2) << upperRight << false;
        QTest::newRow("full stop") << qsizetype(4) << upperRight << false;
        QTest::newRow("dash") << qsizetype(6) << centre << true;
    }
    void glyphs() {
        QFETCH(qsizetype, position);
        QFETCH(QRectF, middle);
        QFETCH(bool, tall);
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), "***\r\n字，字。字—字\r\n***\r\n");
        fx.files.write(QStringLiteral("MyPage.txt"), "1");
        QVERIFY(fx.startWindow());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
        fx.action("verticalAction")->trigger();
        auto* view = fx.window().findChild<VerticalTextView*>();
        // The blank first line is the first column, at the right edge; the
        // next one a column's pitch to its left.
        const QRectF first = view->characterRect(0);
        QVERIFY(qAbs(first.right() - view->viewport()->width()) <= 4);
        QCOMPARE(view->characterRect(position).right(), first.left());
        const Ink ink = inkOf(view, position);
        QVERIFY2(
            middle.contains(ink.middle),
            qPrintable(QStringLiteral("ink at %1, %2").arg(ink.middle.x()).arg(ink.middle.y())));
        QCOMPARE(ink.size.height() > 3 * ink.size.width(), tall);
    }
};

QTEST_MAIN(VerticalTest)
#include "tst_vertical.moc"
