#pragma once

#include <QObject>

class QSocketNotifier;

// Makes SIGTERM, SIGHUP and SIGINT (a session ending, `kill`, Ctrl+C) ask the
// program to end the way the user's close does, instead of killing it, and
// makes SIGPIPE harmless. The
// handler only writes a byte to a socket; call this first thing in main(),
// before any thread starts, so that a signal during start-up waits there too.
void installTerminationHandlers();

// Reports, on the thread that made it, each termination signal caught since
// the handlers were installed. Make it once the application object exists.
class TerminationNotifier : public QObject {
    Q_OBJECT

public:
    explicit TerminationNotifier(QObject* parent = nullptr);

Q_SIGNALS:
    void terminationRequested();

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
