#include "platform/BackgroundTask.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

class TestTasks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A task's end reaches `done` only while the task is held, whenever it is
    // dropped; dropped work is asked to stop; and the end of the program never
    // waits for work that has ended.
    void taskEnds_data() {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<bool>("throws");
        QTest::addColumn<bool>("doneRuns");
        QTest::newRow("held to its end") << "never" << false << true;
        QTest::newRow("held to its end, work failing") << "never" << true << true;
        QTest::newRow("dropped once its end is posted") << "after its end" << false << false;
        QTest::newRow("dropped while it runs") << "while running" << false << false;
    }
    void taskEnds() {
        QFETCH(QString, drop);
        QFETCH(bool, throws);
        QFETCH(bool, doneRuns);
        // Shared, so that work a fault leaves running never writes to a
        // finished test's stack.
        struct Seen {
            std::atomic<bool> sawStop = false;
            std::atomic<bool> ended = false;
        };
        const auto seen = std::make_shared<Seen>();
        const bool runsUntilStopped = drop == u"while running";
        int doneRan = 0;
        std::optional<bool> failed;
        auto task = std::make_unique<BackgroundTask>(
            this,
            [seen, runsUntilStopped, throws](const std::atomic<bool>& stop) {
                QElapsedTimer clock;
                clock.start();
                while (runsUntilStopped && !stop && clock.elapsed() < 1500)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                seen->sawStop = bool(stop);
                seen->ended = true;
                if (throws)
                    throw std::runtime_error("work failed");
            },
            [&](std::exception_ptr failure) {
                ++doneRan;
                failed = bool(failure);
            });

        if (drop == u"after its end") {
            // The running count falls only once the end is posted.
            BackgroundTask::waitForDroppedWork(2000);
            QVERIFY(seen->ended);
            task.reset();
        } else if (drop == u"while running") {
            task.reset();
        }
        QElapsedTimer waited;
        waited.start();
        BackgroundTask::waitForDroppedWork(2000);
        QCOMPARE_LT(waited.elapsed(), 1000);
        QVERIFY(seen->ended);
        QCOMPARE(seen->sawStop.load(), runsUntilStopped);

        QTest::qWait(20);
        QCOMPARE(doneRan, doneRuns ? 1 : 0);
        if (doneRuns)
            QCOMPARE(failed, std::optional(throws));
    }
};

QTEST_GUILESS_MAIN(TestTasks)
#include "tst_tasks.moc"
