#pragma once

#include <QApplication>
#include <functional>
#include <memory>

class TFormHelp;
class TMainForm;
class TPasswordDlg;

namespace tess {

// The application object. Every command, edit and key handler of the main
// window is already guarded; this is the backstop for an error that escapes
// anything else, so that no exception ever crosses Qt's event loop.
class TessApplication : public QApplication {
    Q_OBJECT

public:
    // Qt's own dialogs and buttons speak Chinese from the start (installQtTranslations).
    TessApplication(int& argc, char** argv);
    // Where an escaped error's message goes (the main window's error handler).
    void setErrorHandler(std::function<void(const QString&)> handler) {
        m_handler = std::move(handler);
    }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const QString&)> m_handler;
};

// Installs Qt's Chinese texts (qtbase_zh_CN.qm in folder) for Qt's own
// dialogs and buttons: file and print dialogs, the standard buttons. Returns
// false, changing nothing, when the file is missing or unreadable: those then
// stay in English and everything else works as before.
bool installQtTranslations(QCoreApplication& app, const QString& folder);

// The program's start-up and end. The bank of this run is decided first
// (chooseBank: the command line's --bank, the settings file's [Bank] Server=,
// or the file beside the program). The login dialog comes next and governs
// the application's lifetime: closing it ends the application. The hidden main
// window (it reads the new-paper defaults) and the user guide window (it reads
// the guide) are made once the dialog has been painted, so that the teacher
// does not wait for them; anything that needs the main window sooner (OK, an
// escaped error, the end) makes it there and then.
class Startup : public QObject {
    Q_OBJECT

public:
    explicit Startup(TessApplication& app);
    ~Startup() override;

    TPasswordDlg& login() const { return *m_login; }
    // The hidden main window, with its user guide window; made on the first call.
    TMainForm* mainForm();
    bool mainFormMade() const { return m_mainForm != nullptr; }

    // Shows the login dialog.
    void show();
    // After the event loop: the new-paper defaults go back to the settings
    // file, also when nobody logged in, while the application still runs so
    // that a failure can be reported; then the windows go.
    void finish();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TessApplication& m_app;
    std::unique_ptr<TPasswordDlg> m_login;
    std::unique_ptr<TFormHelp> m_help;
    TMainForm* m_mainForm = nullptr; // deleted first, before the windows it points to
};

} // namespace tess
