#include "FakeSettingsStore.h"
#include "appearance/AppearanceText.h"
#include "appearance/ReadingLook.h"

#include <QGuiApplication>
#include <QTest>

namespace {

const QString Collection = QStringLiteral("/books/data.txt");

} // namespace

class ReadingLookTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Steps: +1 larger, -1 smaller, 0 back; "=n" the font chooser setting n
    // points in between. The saved "ChosenSize" and "ZoomedSize" are those of
    // an earlier run.
    void zoom_data() {
        QTest::addColumn<double>("start");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("zoomed");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<double>("size");
        QTest::newRow("larger") << 11.0 << ""
                                << "" << QStringList{"1"} << 12.0;
        QTest::newRow("past the standard 12") << 12.0 << ""
                                              << "" << QStringList{"1", "1"} << 16.0;
        QTest::newRow("between two sizes") << 10.5 << ""
                                           << "" << QStringList{"-1"} << 10.0;
        QTest::newRow("not above 72") << 48.0 << ""
                                      << "" << QStringList{"1", "1"} << 72.0;
        QTest::newRow("not below 8") << 9.0 << ""
                                     << "" << QStringList{"-1", "-1"} << 8.0;
        QTest::newRow("a chooser's 100 stays") << 100.0 << ""
                                               << "" << QStringList{"1"} << 100.0;
        QTest::newRow("back") << 11.0 << ""
                              << "" << QStringList{"1", "1", "0"} << 11.0;
        QTest::newRow("back to the chooser's newer size")
            << 11.0 << ""
            << "" << QStringList{"1", "=20", "1", "0"} << 20.0;
        QTest::newRow("back to an earlier run's choice") << 14.0 << "10.5"
                                                         << "14" << QStringList{"0"} << 10.5;
        QTest::newRow("an earlier run's zoom since replaced by the chooser")
            << 18.0 << "10.5"
            << "14" << QStringList{"-1", "0"} << 18.0;
    }
    void zoom() {
        QFETCH(double, start);
        QFETCH(QString, chosen);
        QFETCH(QString, zoomed);
        QFETCH(QStringList, steps);
        QFETCH(double, size);
        FakeSettingsStore store;
        const appearance::SavedAppearance saved{store, Collection};
        if (!chosen.isEmpty()) {
            store.writeSetting(Collection, appearance::ReadingSection, appearance::KeyChosenSize,
                               chosen);
            store.writeSetting(Collection, appearance::ReadingSection, appearance::KeyZoomedSize,
                               zoomed);
        }
        appearance::Zoom zoom;
        zoom.restore(saved);
        float current = float(start);
        for (const QString& step : steps)
            current =
                step.startsWith(u'=') ? step.mid(1).toFloat() : zoom.step(current, step.toInt());
        QCOMPARE(double(current), size);
        zoom.save(saved);
        QCOMPARE(store.readSetting(Collection, appearance::Section, appearance::KeySize, {}),
                 QString::number(size));
    }

    void vertical() {
        FakeSettingsStore store;
        const appearance::SavedAppearance saved{store, Collection};
        QVERIFY(!appearance::savedVertical(saved));
        appearance::saveVertical(saved, true);
        QVERIFY(appearance::savedVertical(saved));
        // A hand-edited value that means nothing reads as horizontal.
        store.writeSetting(Collection, appearance::ReadingSection, appearance::KeyVertical,
                           QStringLiteral("sideways"));
        QVERIFY(!appearance::savedVertical(saved));
        // The font's own keys are left alone.
        QCOMPARE(store.writes.filter(QStringLiteral("Size")), QStringList());
    }
};

QTEST_MAIN(ReadingLookTest)
#include "tst_readinglook.moc"
