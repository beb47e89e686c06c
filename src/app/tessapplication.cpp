#include "app/tessapplication.h"

#include "app/tformhelp.h"
#include "app/tmainform.h"
#include "app/tpassworddlg.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"
#include "store/engineerror.h"

#include <QEvent>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

namespace tess {

bool installQtTranslations(QCoreApplication& app, const QString& folder) {
    auto* texts = new QTranslator(&app);
    if (!texts->load(QStringLiteral("qtbase_zh_CN"), folder) || !app.installTranslator(texts)) {
        delete texts;
        return false;
    }
    return true;
}

TessApplication::TessApplication(int& argc, char** argv) : QApplication(argc, argv) {
    installQtTranslations(*this, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool TessApplication::notify(QObject* receiver, QEvent* event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        message = currentErrorMessage();
    }
    if (m_handler)
        m_handler(message);
    return false;
}

Startup::Startup(TessApplication& app) : m_app(app) {
    // An installed program's user gets the ready-made bank and the guide at
    // the first start. The bank is decided once, before the login dialog shows
    // which bank it is; without its own bank file the teacher cannot sign in.
    const QStringList problems = ProgramFiles::PrepareUserFiles();
    BankChoice choice = chooseBank(QCoreApplication::arguments(), ProgramFiles::SettingsPath());
    if (!problems.isEmpty() && choice.source == BankChoice::Source::BesideProgram &&
        choice.problem.isEmpty() && !QFileInfo::exists(choice.name))
        choice.problem = problems.join(QLatin1Char('\n'));
    setChosenBank(choice);
    m_login = std::make_unique<TPasswordDlg>();
    m_login->SetMainFormSource([this] { return mainForm(); });
    m_app.setErrorHandler([this](const QString& message) { mainForm()->ReportError(message); });
    QObject::connect(m_login.get(), &QDialog::rejected, &m_app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
}

Startup::~Startup() {
    finish();
    clearChosenBank();
}

TMainForm* Startup::mainForm() {
    if (m_mainForm)
        return m_mainForm;
    m_mainForm = new TMainForm;
    m_help = std::make_unique<TFormHelp>(tess::ProgramFiles::GuidePath());
    m_mainForm->SetHelpWindow(m_help.get());
    QObject::connect(m_mainForm, &TMainForm::exitConfirmed, &m_app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return m_mainForm;
}

void Startup::show() {
    // Watched on the dialog itself, so that a watcher on the whole
    // application sees the paint first.
    m_login->installEventFilter(this);
    m_login->show();
}

bool Startup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_login.get() && event->type() == QEvent::Paint) {
        m_login->removeEventFilter(this);
        // Posted: it runs once this paint is finished and on the screen.
        QMetaObject::invokeMethod(
            this, [this] { mainForm(); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void Startup::finish() {
    if (!m_login)
        return;
    m_app.setErrorHandler(nullptr);
    mainForm()->SaveSettings();
    delete m_mainForm;
    m_mainForm = nullptr;
    m_help.reset();
    m_login.reset();
}

} // namespace tess
