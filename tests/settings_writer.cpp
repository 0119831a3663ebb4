// Writes keys K0..K<count-1> of one application into a settings file, each
// with its own write, as a running copy of the reader would.
#include "platform/IniSettingsStore.h"
#include "platform/RuntimeError.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    IniSettingsStore store(args[1]);
    const int count = args[3].toInt();
    try {
        for (int i = 0; i < count; ++i)
            store.writeSetting(args[2], QStringLiteral("Font"), QStringLiteral("K%1").arg(i),
                               QString::number(i));
    } catch (const RuntimeError&) {
        return 1;
    }
    return 0;
}
