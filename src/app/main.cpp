#include "app/tessapplication.h"
#include "frame/prompts.h"

int main(int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QApplication::setApplicationName(tess::appTitle());

    // The login dialog is painted first; the main window follows it.
    tess::Startup startup(app);
    startup.show();
    const int result = app.exec();
    startup.finish();
    return result;
}
