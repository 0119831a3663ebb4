// Writes keys K0..K<count-1> of one application into a settings file, each
// with its own write, as a running copy of the reader would, and prints how
// many milliseconds the writes took, also when one failed. With "again", a write that fails (the
// other copy held the lock throughout) is made again, as a user would choose
// again; a lock in the way ends it at once.
//
//   settings_writer FILE APPLICATION COUNT [again]
//
// Exit status: 0 all written, 3 the lock is in the way, 1 any other failure.
#include "platform/IniSettingsStore.h"
#include "platform/RuntimeError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4 && !(args.size() == 5 && args[4] == QStringLiteral("again")))
        return 2;
    IniSettingsStore store(args[1]);
    const int count = args[3].toInt();
    const bool again = args.size() == 5;
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    for (int i = 0; i < count && status == 0; ++i) {
        for (;;) {
            try {
                store.writeSetting(args[2], QStringLiteral("Font"), QStringLiteral("K%1").arg(i),
                                   QString::number(i));
                break;
            } catch (const RuntimeError& error) {
                if (error.number() == RuntimeError::PermissionDenied) {
                    status = 3;
                    break;
                }
                if (!again || clock.hasExpired(30000)) {
                    status = 1;
                    break;
                }
            }
        }
    }
    std::printf("%lld\n", static_cast<long long>(clock.elapsed()));
    return status;
}
