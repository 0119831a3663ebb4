#include "WindowFixture.h"

#include "widgets/RgbColor.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

namespace {

const QByteArray ThreeArticles("***\r\none\r\n***\r\ntwo\r\n***\r\nthree\r\n***\r\n");

// The design's own colours, as the window holds them before start-up.
constexpr qint32 DesignText = rgbcolor::SystemWindowText;
constexpr qint32 DesignBack = rgbcolor::SystemWindow;

// What the text box and the window background show.
struct Look {
    QString face;
    bool bold;
    bool italic;
    double size;
    bool underline;
    bool strikeout;
    qint32 fore;
    qint32 back;
    qint32 window;
};

// A window over a collection, with the stored values given as "Key=value".
struct AppearanceFixture : WindowFixture {
    explicit AppearanceFixture(const QStringList& stored = {}) {
        files.write(QStringLiteral("data.txt"), ThreeArticles);
        for (const QString& entry : stored) {
            const qsizetype eq = entry.indexOf(u'=');
            settings.values.insert(
                FakeSettingsStore::path(dataPath(), QStringLiteral("Font"), entry.left(eq)),
                entry.mid(eq + 1));
        }
    }
    QString dataPath() const { return files.filePath(QStringLiteral("data.txt")); }
    QString stored(const QString& key) const {
        return settings.values.value(
            FakeSettingsStore::path(dataPath(), QStringLiteral("Font"), key),
            QStringLiteral("<none>"));
    }

    QColor colorFor(qint32 value) {
        return rgbcolor::toQColor(value, QApplication::palette(text()));
    }
    QWidget* background() { return window().centralWidget(); }

    void verifyLook(const Look& look) {
        const QFont font = text()->font();
        QCOMPARE(font.family(), look.face);
        QCOMPARE(font.bold(), look.bold);
        QCOMPARE(font.italic(), look.italic);
        QCOMPARE(font.pointSizeF(), look.size);
        QCOMPARE(font.underline(), look.underline);
        QCOMPARE(font.strikeOut(), look.strikeout);
        QCOMPARE(text()->palette().color(QPalette::Text), colorFor(look.fore));
        QCOMPARE(text()->palette().color(QPalette::Base), colorFor(look.back));
        QCOMPARE(background()->palette().color(QPalette::Window), colorFor(look.window));
    }
};

// Accepts a font choice with these values.
FakeChoosers::Step fontChoice(const QString& face, float size, bool bold, bool italic,
                              bool underline, bool strikeout, qint32 color) {
    return [=](ChooserState& d) {
        d.fontName = face;
        d.fontSize = size;
        d.bold = bold;
        d.italic = italic;
        d.underline = underline;
        d.strikeOut = strikeout;
        d.color = color;
        return true;
    };
}

FakeChoosers::Step colorChoice(qint32 color, bool accept = true) {
    return [=](ChooserState& d) {
        d.color = color;
        return accept;
    };
}

// Makes a locale the default one for as long as it lives.
struct LocaleGuard {
    explicit LocaleGuard(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(m_saved); }
    LocaleGuard(const LocaleGuard&) = delete;
    LocaleGuard& operator=(const LocaleGuard&) = delete;

private:
    QLocale m_saved;
};

const QString Ming = QStringLiteral("新細明體");
const Look FirstRun{Ming, false, false, 11, false, false, 0, 0xFFFFFF, 0xFFFFFF};

} // namespace

Q_DECLARE_METATYPE(Look)

class TestAppearance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Start-up applies the stored values in order and stops at the first one
    // it cannot take; the reader opens all the same and nothing is written.
    void savedAppearance_data() {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("failingKey");
        QTest::addColumn<Look>("look");
        const Look design{Ming, true, false, 9, false, false, DesignText, DesignBack, DesignBack};
        const QString noto = QStringLiteral("Noto Sans");

        QTest::newRow("empty store") << QStringList{} << QString() << FirstRun;
        QTest::newRow("size 10.5")
            << QStringList{"Size=10.5"} << QString()
            << Look{Ming, false, false, 10.5, false, false, 0, 0xFFFFFF, 0xFFFFFF};
        QTest::newRow("red text") << QStringList{"ForeColor=255"} << QString()
                                  << Look{Ming,  false, false,    11,      false,
                                          false, 255,   0xFFFFFF, 0xFFFFFF};
        QTest::newRow("grey background")
            << QStringList{"BackColor=12632256"} << QString()
            << Look{Ming, false, false, 11, false, false, 0, 0xC0C0C0, 0xC0C0C0};
        QTest::newRow("every key")
            << QStringList{"Name=Noto Sans",  "Bold=True",         "Italic=True",
                           "Size=12",         "Underline=True",    "Strikethrough=True",
                           "ForeColor=65280", "BackColor=16711680"}
            << QString() << Look{noto, true, true, 12, true, true, 0xFF00, 0xFF0000, 0xFF0000};
        QTest::newRow("truth values in other forms")
            << QStringList{"Bold= true ", "Italic=1", "Underline=FALSE", "Strikethrough=-1"}
            << QString() << Look{Ming, true, true, 11, false, true, 0, 0xFFFFFF, 0xFFFFFF};
        QTest::newRow("colours with fractions round to even")
            << QStringList{"ForeColor=254.5", "BackColor=255.5"} << QString()
            << Look{Ming, false, false, 11, false, false, 254, 256, 256};
        QTest::newRow("system colour references")
            << QStringList{"ForeColor=-2147483640", "BackColor=-2147483643"} << QString()
            << Look{Ming, false, false, 11, false, false, DesignText, DesignBack, DesignBack};

        QTest::newRow("bold no truth value")
            << QStringList{"Name=Noto Sans", "Bold=maybe", "Size=20", "ForeColor=255"} << QString()
            << Look{noto, true, false, 9, false, false, DesignText, DesignBack, DesignBack};
        QTest::newRow("empty back colour")
            << QStringList{"Size=14", "ForeColor=255", "BackColor="} << QString()
            << Look{Ming, false, false, 14, false, false, 255, DesignBack, DesignBack};
        QTest::newRow("size no number")
            << QStringList{"Italic=True", "Size=large"} << QString()
            << Look{Ming, false, true, 9, false, false, DesignText, DesignBack, DesignBack};
        QTest::newRow("size with decimal comma")
            << QStringList{"Size=10,5"} << QString()
            << Look{Ming, false, false, 9, false, false, DesignText, DesignBack, DesignBack};
        QTest::newRow("size zero")
            << QStringList{"Size=0"} << QString()
            << Look{Ming, false, false, 9, false, false, DesignText, DesignBack, DesignBack};
        QTest::newRow("text colour above white")
            << QStringList{"ForeColor=16777216"} << QString()
            << Look{Ming, false, false, 11, false, false, DesignText, DesignBack, DesignBack};
        QTest::newRow("text colour beyond 32 bits")
            << QStringList{"ForeColor=2147483648"} << QString()
            << Look{Ming, false, false, 11, false, false, DesignText, DesignBack, DesignBack};
        QTest::newRow("background below 32 bits")
            << QStringList{"BackColor=-2147483649"} << QString()
            << Look{Ming, false, false, 11, false, false, 0, DesignBack, DesignBack};
        QTest::newRow("unknown system colour")
            << QStringList{"ForeColor=-1"} << QString()
            << Look{Ming, false, false, 11, false, false, DesignText, DesignBack, DesignBack};
        // The text box keeps the design font when the first value cannot be read.
        QTest::newRow("store unreadable from the start")
            << QStringList{"Name=Noto Sans"} << QStringLiteral("Name") << design;
        QTest::newRow("store unreadable")
            << QStringList{"Bold=False", "Italic=True"} << QStringLiteral("Italic")
            << Look{Ming, false, false, 9, false, false, DesignText, DesignBack, DesignBack};
    }
    void savedAppearance() {
        QFETCH(QStringList, stored);
        QFETCH(QString, failingKey);
        QFETCH(Look, look);
        AppearanceFixture fx(stored);
        fx.settings.failingKey = failingKey;
        // A bad stored value must not cost the reading position.
        fx.files.write(QStringLiteral("MyPage.txt"), "2\r\n");
        QVERIFY(fx.startWindow());
        QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(2 of 3)"));
        fx.verifyLook(look);
        QVERIFY(fx.settings.writes.isEmpty());
        QVERIFY(!fx.dialogs.reported);
    }

    // Every accepted font choice is applied and all seven values written, in
    // their stored forms, whatever the locale's decimal separator.
    void fontCommand_data() {
        QTest::addColumn<FakeChoosers::Step>("choice");
        QTest::addColumn<Look>("look");
        QTest::addColumn<QStringList>("writes");
        const QString noto = QStringLiteral("Noto Sans");
        QTest::newRow("unchanged")
            << FakeChoosers::Step() << FirstRun
            << QStringList{"Name=新細明體",   "Bold=False",          "Italic=False", "Size=11",
                           "Underline=False", "Strikethrough=False", "ForeColor=0"};
        QTest::newRow("10.5 bold red")
            << fontChoice(noto, 10.5f, true, false, false, false, 255)
            << Look{noto, true, false, 10.5, false, false, 255, 0xFFFFFF, 0xFFFFFF}
            << QStringList{"Name=Noto Sans",  "Bold=True",           "Italic=False", "Size=10.5",
                           "Underline=False", "Strikethrough=False", "ForeColor=255"};
        QTest::newRow("12 with every effect")
            << fontChoice(Ming, 12.0f, false, true, true, true, 0xFF0000)
            << Look{Ming, false, true, 12, true, true, 0xFF0000, 0xFFFFFF, 0xFFFFFF}
            << QStringList{"Name=新細明體",  "Bold=False",         "Italic=True",       "Size=12",
                           "Underline=True", "Strikethrough=True", "ForeColor=16711680"};
        QTest::newRow("single precision size")
            << fontChoice(Ming, 7.3f, false, false, false, false, 0)
            << Look{Ming, false, false, double(7.3f), false, false, 0, 0xFFFFFF, 0xFFFFFF}
            << QStringList{"Name=新細明體",   "Bold=False",          "Italic=False", "Size=7.3",
                           "Underline=False", "Strikethrough=False", "ForeColor=0"};
    }
    void fontCommand() {
        QFETCH(FakeChoosers::Step, choice);
        QFETCH(Look, look);
        QFETCH(QStringList, writes);
        const LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
        AppearanceFixture fx;
        QVERIFY(fx.startWindow());
        if (choice)
            fx.choosers.fontSteps << choice;
        fx.action("fontAction")->trigger();
        fx.verifyLook(look);
        QCOMPARE(fx.settings.writes, writes);
        QCOMPARE(fx.choosers.fontSeen.last().flags, 323);
        QVERIFY(fx.choosers.fontSeen.last().cancelIsError);

        // What was written is what the next start shows.
        AppearanceFixture next(fx.settings.writes);
        QVERIFY(next.startWindow());
        next.verifyLook(look);
    }

    // The chooser starts from the text box's face, size and colour, but from
    // its own style values: those of the last accepted choice of the run.
    void fontChooserStartsFromRetainedStyle() {
        AppearanceFixture fx({"Name=Noto Sans", "Bold=True", "Italic=True", "Underline=True",
                              "Strikethrough=True", "Size=10.5", "ForeColor=255",
                              "BackColor=4210752"});
        QVERIFY(fx.startWindow());
        fx.action("fontAction")->trigger();
        const ChooserState first = fx.choosers.fontSeen.value(0);
        QCOMPARE(first.sampleBackground, 4210752);
        QCOMPARE(first.fontName, QStringLiteral("Noto Sans"));
        QCOMPARE(first.fontSize, 10.5f);
        QCOMPARE(first.color, 255);
        QVERIFY(!first.bold && !first.italic && !first.underline && !first.strikeOut);
        QVERIFY(!fx.text()->font().bold());
        QCOMPARE(fx.stored(QStringLiteral("Bold")), QStringLiteral("False"));

        fx.choosers.fontSteps << fontChoice(Ming, 12, true, false, true, false, 0);
        fx.action("fontAction")->trigger();
        // A cancelled choice changes nothing the next chooser starts from.
        fx.choosers.fontSteps << [](ChooserState& d) {
            d.bold = false;
            d.underline = false;
            return false;
        };
        fx.action("fontAction")->trigger();
        fx.action("fontAction")->trigger();
        const ChooserState last = fx.choosers.fontSeen.value(3);
        QVERIFY(last.bold && !last.italic && last.underline && !last.strikeOut);
        QCOMPARE(last.fontName, Ming);
        QCOMPARE(last.fontSize, 12.0f);
    }

    void fontCancelChangesNothing() {
        AppearanceFixture fx({"Size=14", "ForeColor=255"});
        QVERIFY(fx.startWindow());
        fx.choosers.fontSteps << [](ChooserState& d) {
            d.fontName = QStringLiteral("Noto Sans");
            d.color = 0xFF00;
            return false;
        };
        fx.action("fontAction")->trigger();
        fx.verifyLook({Ming, false, false, 14, false, false, 255, 0xFFFFFF, 0xFFFFFF});
        QVERIFY(fx.settings.writes.isEmpty());
        QVERIFY(!fx.dialogs.reported);
        QCOMPARE(fx.window().exitStatus(), 0);
    }

    // The colour chooser starts at the background on show, never at the text
    // colour a font choice left (OK would then hide the text).
    void colorChooserStart_data() {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<qint32>("start");
        QTest::newRow("first of the run") << QStringList{} << 0xFFFFFF;
        QTest::newRow("after a font choice") << QStringList{"font 255"} << 0xFFFFFF;
        QTest::newRow("font after background")
            << QStringList{"back 16711680", "font 65280"} << 0xFF0000;
        QTest::newRow("cancelled background")
            << QStringList{"back 16711680", "cancel-back 65280"} << 0xFF0000;
    }
    void colorChooserStart() {
        QFETCH(QStringList, commands);
        QFETCH(qint32, start);
        AppearanceFixture fx;
        QVERIFY(fx.startWindow());
        for (const QString& command : commands) {
            const QStringList parts = command.split(u' ');
            const qint32 color = parts[1].toInt();
            const bool accept = !parts[0].startsWith(QStringLiteral("cancel"));
            if (parts[0].endsWith(QStringLiteral("font"))) {
                fx.choosers.fontSteps << colorChoice(color, accept);
                fx.action("fontAction")->trigger();
            } else {
                fx.choosers.colorSteps << colorChoice(color, accept);
                fx.action("backgroundAction")->trigger();
            }
        }
        fx.choosers.colorSteps << colorChoice(0, false);
        fx.action("backgroundAction")->trigger();
        QCOMPARE(fx.choosers.colorSeen.last().color, start);
        QCOMPARE(fx.choosers.colorSeen.last().flags, 323);
        QVERIFY(fx.choosers.colorSeen.last().cancelIsError);
    }

    void backgroundCommand_data() {
        QTest::addColumn<FakeChoosers::Step>("choice");
        QTest::addColumn<qint32>("shown");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("white") << colorChoice(0xFFFFFF) << 0xFFFFFF
                               << QStringList{"BackColor=16777215"};
        QTest::newRow("light grey")
            << colorChoice(0xC0C0C0) << 0xC0C0C0 << QStringList{"BackColor=12632256"};
        QTest::newRow("cancel") << colorChoice(0xC0C0C0, false) << 0xFF0000 << QStringList{};
    }
    void backgroundCommand() {
        QFETCH(FakeChoosers::Step, choice);
        QFETCH(qint32, shown);
        QFETCH(QStringList, writes);
        AppearanceFixture fx({"Size=14", "BackColor=16711680"});
        QVERIFY(fx.startWindow());
        fx.choosers.colorSteps << choice;
        fx.action("backgroundAction")->trigger();
        fx.verifyLook({Ming, false, false, 14, false, false, 0, shown, shown});
        QCOMPARE(fx.settings.writes, writes);
        QVERIFY(!fx.dialogs.reported);
    }

    // A failure part-way ends the command silently: what was applied and
    // written before it stays, and the reader goes on.
    void commandFailureEndsSilently_data() {
        QTest::addColumn<FakeChoosers::Step>("choice");
        QTest::addColumn<QString>("failingKey");
        QTest::addColumn<Look>("look");
        QTest::addColumn<QStringList>("writes");
        const QString noto = QStringLiteral("Noto Sans");
        QTest::newRow("store refuses a write")
            << fontChoice(noto, 12, true, true, false, false, 255) << QStringLiteral("Italic")
            << Look{noto, true, true, 12, false, false, 255, 0xFFFFFF, 0xFFFFFF}
            << QStringList{"Name=Noto Sans", "Bold=True"};
        QTest::newRow("text box refuses the colour")
            << fontChoice(noto, 12, true, true, false, false, -1) << QString()
            << Look{noto, false, false, 11, false, false, 0, 0xFFFFFF, 0xFFFFFF} << QStringList{};
        QTest::newRow("text box refuses the size")
            << fontChoice(noto, 0, true, true, true, true, 255) << QString()
            << Look{noto, true, true, 11, true, true, 255, 0xFFFFFF, 0xFFFFFF} << QStringList{};
    }
    void commandFailureEndsSilently() {
        QFETCH(FakeChoosers::Step, choice);
        QFETCH(QString, failingKey);
        QFETCH(Look, look);
        QFETCH(QStringList, writes);
        AppearanceFixture fx;
        QVERIFY(fx.startWindow());
        fx.settings.failingKey = failingKey;
        fx.choosers.fontSteps << choice;
        fx.action("fontAction")->trigger();
        fx.verifyLook(look);
        QCOMPARE(fx.settings.writes, writes);
        QVERIFY(!fx.dialogs.reported);
        QVERIFY(fx.dialogs.messages.isEmpty());
        QCOMPARE(fx.window().exitStatus(), 0);

        fx.settings.failingKey.clear();
        fx.choosers.colorSteps << colorChoice(0xC0C0C0);
        fx.action("backgroundAction")->trigger();
        QCOMPARE(fx.stored(QStringLiteral("BackColor")), QStringLiteral("12632256"));
    }

    // A settings file that no save can reach is told once a run, naming the
    // file in the way, and every choice still applies.
    void unsavableLookIsToldOnce() {
        AppearanceFixture fx;
        QVERIFY(fx.startWindow());
        fx.settings.writeFailure = RuntimeError::permissionDenied(
            QStringLiteral("/cfg/orvenla.ini.lock"), QStringLiteral("in the way"));
        const QString noto = QStringLiteral("Noto Sans");
        fx.choosers.fontSteps << fontChoice(noto, 12, true, false, false, false, 255);
        fx.action("fontAction")->trigger();
        fx.choosers.colorSteps << colorChoice(0xC0C0C0);
        fx.action("backgroundAction")->trigger();
        fx.verifyLook({noto, true, false, 12, false, false, 255, 0xC0C0C0, 0xC0C0C0});
        QCOMPARE(fx.dialogs.messages.size(), 1);
        QVERIFY(fx.dialogs.messages[0].contains(QStringLiteral("/cfg/orvenla.ini.lock")));
        QVERIFY(!fx.dialogs.reported);
        QCOMPARE(fx.window().exitStatus(), 0);
    }
};

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
