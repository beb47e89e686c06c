#include "app/prompts.h"
#include "app/tessapplication.h"
#include "app/tformhelp.h"
#include "app/tmainform.h"
#include "app/tpassworddlg.h"

int main(int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QApplication::setApplicationName(tess::appTitle());

    // The login dialog comes first and governs the application's lifetime.
    TPasswordDlg login;
    auto* mainForm = new TMainForm; // hidden; loads the new-paper defaults
    login.SetMainForm(mainForm);
    app.setErrorHandler([mainForm](const QString& message) { mainForm->ReportError(message); });
    TFormHelp help(TMainForm::GuidePath()); // hidden; reads the guide once
    mainForm->SetHelpWindow(&help);

    QObject::connect(&login, &QDialog::rejected, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(mainForm, &TMainForm::exitConfirmed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    login.show();
    const int result = app.exec();
    app.setErrorHandler(nullptr);
    // The new-paper defaults go back to the settings file, also when nobody
    // logged in; a failure is reported while the application still runs.
    mainForm->SaveDefaults();
    delete mainForm;
    return result;
}
