#include "app/Form1.h"
#include "app/Reader.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtDialogs.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    installFontSubstitutions();
    QtDialogs dialogs;
    ApplicationDirectory directory;
    Form1 window(ReaderServices{dialogs, directory});
    return runReader(window);
}
