// Writes keys K0..K<count-1> of one application into a settings file, each
// with its own write, as a running copy of the reader would, and prints how
// many milliseconds the writes took. With "again", a write that fails while the
// other copy holds the lock is made again, as a user would choose again.
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
        try {
            store.writeSetting(args[2], QStringLiteral("Font"), QStringLiteral("K%1").arg(i),
                               QString::number(i));
        } catch (const RuntimeError& error) {
            status = error.number() == RuntimeError::PermissionDenied ? 3 : 1;
            if (status == 1 && again && !clock.hasExpired(30000)) {
                status = 0;
                --i;
            }
        }
    }
    std::printf("%lld\n", static_cast<long long>(clock.elapsed()));
    return status;
}
