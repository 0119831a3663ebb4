// The input as the settings file: every appearance key, read for a fixed data
// file and for the one the file's first group names, goes through its text
// reading. Errors are numbered ones only, and what is read is usable.

#include "appearance/AppearanceText.h"
#include "fuzz/FuzzSupport.h"
#include "platform/IniSettingsStore.h"
#include "platform/RuntimeError.h"
#include "widgets/RgbColor.h"

#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QStringList>

#include <cmath>
#include <limits>

namespace {

const QString FixedApplication = QStringLiteral("/opt/orvenla/data.txt");

bool isReadingError(int error) {
    return error == 0 || error == RuntimeError::TypeMismatch || error == RuntimeError::Overflow;
}

void checkReadings(const QString& key, const QString& text) {
    using namespace appearance;
    if (key == KeyBold || key == KeyItalic || key == KeyUnderline || key == KeyStrikethrough) {
        fuzz::expect(isReadingError(fuzz::errorOf([&] { boolFromText(text); })),
                     "boolFromText raised an unexpected error");
    } else if (key == KeySize) {
        float size = 0;
        const int error = fuzz::errorOf([&] { size = sizeFromText(text); });
        fuzz::expect(isReadingError(error), "sizeFromText raised an unexpected error");
        fuzz::expect(error != 0 || std::isfinite(size), "sizeFromText gave no finite size");
    } else if (key == KeyForeColor || key == KeyBackColor) {
        qint32 color = 0;
        const int error = fuzz::errorOf([&] { color = colorFromText(text); });
        fuzz::expect(isReadingError(error), "colorFromText raised an unexpected error");
        if (error == 0) {
            fuzz::expect(color <= rgbcolor::White, "colorFromText gave no colour");
            fuzz::expect(colorFromText(colorText(color)) == color,
                         "a colour does not read back as itself");
        }
    }
}

void readAppearance(IniSettingsStore& store, const QString& application) {
    using namespace appearance;
    for (const QLatin1String key : {KeyName, KeyBold, KeyItalic, KeySize, KeyUnderline,
                                    KeyStrikethrough, KeyForeColor, KeyBackColor}) {
        QString text;
        const int error =
            fuzz::errorOf([&] { text = store.readSetting(application, Section, key, {}); });
        // A file QSettings cannot parse, or a value that is no text.
        fuzz::expect(error == 0 || error == RuntimeError::PathFileAccess ||
                         error == RuntimeError::TypeMismatch,
                     "readSetting raised an unexpected error");
        if (error == 0)
            checkReadings(key, text);
    }
}

// The application the first group is kept for, as the store writes it.
QString firstApplication(const QString& fileName) {
    const QSettings settings(fileName, QSettings::IniFormat);
    const QStringList groups = settings.childGroups();
    if (groups.isEmpty())
        return {};
    return settings.value(groups.first() + QStringLiteral("/Application")).toString();
}

} // namespace

// A hand-edited "@Variant(" value can state a list of any length, and Qt
// reserves room for all of it before reading one item. The system refuses
// a reservation that large, or maps it without ever touching it, and Qt goes
// on with an empty list; the fuzzer's own allocation limit would count it
// as exhausted memory. Here the sanitizer refuses anything over 1 GiB, as a
// system without overcommit does.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}

// The reader reads its settings with its application object up, and a stored
// value may be a picture or a font, which Qt only builds then. The object is
// never destroyed: at exit it would outlive the Qt state it uses.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt would take its own options out of the fuzzer's arguments.
    static int appArgc = 1;
    static char* appArgv[] = {*argc > 0 ? (*argv)[0] : nullptr, nullptr};
    static const QGuiApplication* const app = new QGuiApplication(appArgc, appArgv);
    Q_UNUSED(app);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // QSettings caches a file by name and keeps it while its size and time
    // stamp stay the same, which a rewrite within the same instant can keep:
    // each input gets a name of its own.
    static quint64 serial = 0;
    const QString fileName = fuzz::writeScratchFile(QStringLiteral("orvenla-%1.ini").arg(serial++),
                                                    fuzz::bytesOf(data, size));
    IniSettingsStore store(fileName);
    readAppearance(store, FixedApplication);
    readAppearance(store, firstApplication(fileName));
    QFile::remove(fileName);
    return 0;
}
