#include "app/tessapplication.h"
#include "frame/prompts.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"

int main(int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QApplication::setApplicationName(tess::appTitle());
    // The bank is decided once, before the login dialog shows which it is.
    tess::setChosenBank(
        tess::chooseBank(QCoreApplication::arguments(), tess::ProgramFiles::SettingsPath()));

    // The login dialog is painted first; the main window follows it.
    tess::Startup startup(app);
    startup.show();
    const int result = app.exec();
    startup.finish();
    return result;
}
