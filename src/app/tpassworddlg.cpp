#include "app/tpassworddlg.h"

#include "app/banner.h"
#include "app/taboutdlg.h"
#include "app/tmainform.h"
#include "bank/passwordhash.h"
#include "frame/prompts.h"
#include "store/engineerror.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <exception>
#include <future>

TPasswordDlg::TPasswordDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TPasswordDlg"));
    setWindowTitle(QStringLiteral("登陆"));
    setFixedSize(501, 320);

    Panel1 = new tess::Banner(this, 501);
    Panel1->setIconClick([this] { Image3Click(); });
    LabelTitle = new QLabel(QStringLiteral("Tessaloom"), Panel1);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));
    QFont big = LabelTitle->font();
    big.setPointSize(24);
    big.setBold(true);
    LabelTitle->setFont(big);
    QPalette blue = LabelTitle->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    LabelTitle->setPalette(blue);
    LabelTitle->setGeometry(16, 8, 320, 49);

    LabelPrompt = new QLabel(this);
    LabelPrompt->setObjectName(QStringLiteral("LabelPrompt"));
    LabelPrompt->setText(QStringLiteral("请输入你的帐号和密码;\n系统管理员请用帐号Admin登陆..."));
    LabelPrompt->setGeometry(40, 80, 421, 44);

    auto* accountLabel = new QLabel(QStringLiteral("用户帐号:"), this);
    accountLabel->setGeometry(100, 146, 80, 24);
    EditAcount = new QLineEdit(QStringLiteral("Admin"), this);
    EditAcount->setObjectName(QStringLiteral("EditAcount"));
    EditAcount->setGeometry(180, 146, 210, 24);
    accountLabel->setBuddy(EditAcount);

    auto* passwordLabel = new QLabel(QStringLiteral("用户密码:"), this);
    passwordLabel->setGeometry(100, 190, 80, 24);
    EditPassword = new QLineEdit(this);
    EditPassword->setObjectName(QStringLiteral("EditPassword"));
    EditPassword->setEchoMode(QLineEdit::Password);
    EditPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    EditPassword->setGeometry(180, 190, 210, 24);
    passwordLabel->setBuddy(EditPassword);

    LabelBank = new QLabel(this);
    LabelBank->setObjectName(QStringLiteral("LabelBank"));
    LabelBank->setAccessibleName(QStringLiteral("登陆的试题库"));
    LabelBank->setGeometry(40, 226, 421, 24);
    LabelBank->setTextInteractionFlags(Qt::TextSelectableByMouse);
    showBank();

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(8, 262, 501 - 16, 2);

    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(501 - 8 - 2 * 84 - 8, 278, 84, 30);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(501 - 8 - 84, 278, 84, 30);

    setTabOrder(EditAcount, EditPassword);
    setTabOrder(EditPassword, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    EditAcount->setFocus();

    connect(OKBtn, &QPushButton::clicked, this, &TPasswordDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TPasswordDlg::CancelBtnClick);
}

QString TPasswordDlg::QuotedText(const QString& text) {
    return tess::sqlText(text);
}

QString TPasswordDlg::CheckStatement(const QString& account, const QString& password) {
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("select count(*) as validuser from users where ") + crlf +
           QStringLiteral(" (acount = ") + QuotedText(account) + QStringLiteral(") ") + crlf +
           QStringLiteral("and (password = ") + QuotedText(password) + QStringLiteral(") ") + crlf;
}

void TPasswordDlg::showBank() {
    m_bank = tess::chosenBank();
    const QString shown = tess::displayBankName(m_bank.name);
    if (!m_bank.problem.isEmpty()) {
        LabelBank->setText(QStringLiteral("试题库设置有误, 按确定按钮可查看原因."));
        QPalette red = LabelBank->palette();
        red.setColor(QPalette::WindowText, QColor(192, 0, 0));
        LabelBank->setPalette(red);
        LabelBank->setToolTip(shown);
        return;
    }
    const QString caption = tess::Connection::isServerName(m_bank.name)
                                ? QStringLiteral("服务器试题库: ")
                                : QStringLiteral("试题库: ");
    // A long path or address keeps its start and its end, the whole in the tip.
    LabelBank->setText(
        caption + LabelBank->fontMetrics().elidedText(
                      QDir::toNativeSeparators(shown), Qt::ElideMiddle,
                      LabelBank->width() - LabelBank->fontMetrics().horizontalAdvance(caption)));
    LabelBank->setToolTip(shown);
}

QStringList TPasswordDlg::storedHashes(const QString& account) {
    QueryUser.close();
    QueryUser.setSql(QStringLiteral("select password from users where acount = ") +
                     QuotedText(account));
    QueryUser.open();
    QStringList hashes;
    for (QueryUser.first(); !QueryUser.eof(); QueryUser.next())
        if (const QString stored = QueryUser.asString(QStringLiteral("password"));
            tess::isPasswordHash(stored))
            hashes << stored;
    return hashes;
}

void TPasswordDlg::closeCheck() {
    QueryUser.close();
    Database.close();
}

namespace {

const QString kExitHint = QStringLiteral("按取消按钮可退出系统.");

// The check statement carries the texts inside quotes, and the engine reads a
// statement only up to a NUL: the text would be cut and the statement broken.
// Every other character, control characters included, goes in as typed.
QString unusableCharacterMessage(const QString& what) {
    return what + QStringLiteral("中有一个不能使用的字符 (代码为 0 的空字符, 在框中看不见).\n") +
           QStringLiteral("请清空") + what + QStringLiteral("框, 重新输入") + what +
           QStringLiteral("后再试.\n\n") + kExitHint;
}

} // namespace

QString TPasswordDlg::checkFailure(const QString& failure) const {
    const QString head = QStringLiteral("出错信息:") + failure + QStringLiteral("\n\n");
    if (!tess::Connection::isServerName(m_bank.name))
        return head + QStringLiteral("连接数据库失败,请确认你的帐号和密码.") +
               QStringLiteral("\n\n") + kExitHint;
    return head +
           QStringLiteral("连接服务器上的试题库 %1 失败.\n"
                          "请排除上述原因 (例如服务器没有启动, 网络不通, 或数据库用户的密码不对) "
                          "后按确定按钮重试.")
               .arg(tess::displayBankName(m_bank.name)) +
           QStringLiteral("\n\n") + kExitHint;
}

void TPasswordDlg::OKBtnClick() {
    for (QLineEdit* field : {EditAcount, EditPassword}) {
        if (!field->text().contains(QChar(u'\0')))
            continue;
        tess::Prompts::instance().information(
            this, unusableCharacterMessage(field == EditAcount ? QStringLiteral("帐号")
                                                               : QStringLiteral("密码")));
        // Typing then replaces the whole text, invisible character and all.
        field->setFocus();
        field->selectAll();
        return;
    }
    if (!m_bank.problem.isEmpty()) {
        tess::Prompts::instance().information(this, m_bank.problem + QStringLiteral("\n\n") +
                                                        QStringLiteral("请改正后重新启动本程序. ") +
                                                        kExitHint);
        return;
    }
    Database.setDataSource(m_bank.name);
    const QString account = EditAcount->text();
    const QString password = EditPassword->text();
    int valid = 0;
    QStringList hashes;
    QString failure;
    try {
        Database.open();
        QueryUser.close();
        QueryUser.setSql(CheckStatement(account, password));
        QueryUser.open();
        valid = QueryUser.asInteger(QStringLiteral("validuser"));
        // A stored hash, typed as it stands, is not the password.
        if (tess::isPasswordHash(password))
            valid = 0;
        if (valid == 0)
            hashes = storedHashes(account);
    } catch (const std::exception&) {
        failure = tess::currentErrorMessage();
    }
    if (!failure.isNull()) {
        tess::Prompts::instance().information(this, checkFailure(failure));
        closeCheck();
        return;
    }
    // A hash is checked slowly on purpose (a fraction of a second): the check
    // runs while the bank opens, which the teacher waits for anyway, and the
    // window is shown only once it has passed.
    std::future<bool> hashMatches;
    if (valid == 0 && !hashes.isEmpty())
        hashMatches = std::async(std::launch::async, [password, hashes] {
            return tess::passwordMatchesAny(password, hashes);
        });
    if (valid == 0 && !hashMatches.valid()) {
        refuseSignIn();
        return;
    }

    OKBtn->setEnabled(false);
    if (!m_mainForm && m_mainFormSource)
        m_mainForm = m_mainFormSource();
    bool opened = false;
    if (m_mainForm) {
        m_mainForm->SetSignedInAccount(account);
        try {
            m_mainForm->OpenPaperBank();
            opened = true;
        } catch (...) {
            failure = tess::currentErrorMessage();
        }
    }
    if (valid == 0 && !hashMatches.get()) {
        // Nothing of the bank is left open for an account that did not sign in.
        if (m_mainForm) {
            if (opened)
                m_mainForm->ClosePaperBank();
            m_mainForm->SetSignedInAccount(QString());
        }
        OKBtn->setEnabled(true);
        refuseSignIn();
        return;
    }

    // Accepted.
    try {
        tess::storeCurrentHash(Database, account, password);
    } catch (const std::exception&) {
        // Kept as it was: the next sign-in tries again.
    }
    closeCheck();
    if (!m_mainForm)
        return;
    if (!failure.isNull()) {
        // The main window is not shown, so its message area would say it to
        // nobody. OpenPaperBank has closed what it opened: once the cause is
        // removed, OK tries again from the start.
        m_mainForm->SetSignedInAccount(QString());
        tess::Prompts::instance().information(
            this, QStringLiteral("出错信息:") + failure + QStringLiteral("\n\n") +
                      QStringLiteral("打开试题库失败,请排除上述原因后按确定按钮重试.") +
                      QStringLiteral("\n\n") + kExitHint);
        OKBtn->setEnabled(true);
        return;
    }
    m_mainForm->Guarded([this] {
        m_mainForm->show();
        hide();
    });
    // After the window has been painted, so that the teacher sees where the wait comes from.
    QTimer::singleShot(0, m_mainForm, [form = m_mainForm] { form->IndexBankTexts(); });
}

void TPasswordDlg::refuseSignIn() {
    tess::Prompts::instance().information(this, QStringLiteral("登陆失败,请确认你的帐号和密码.") +
                                                    QStringLiteral("\n\n") + kExitHint);
    closeCheck();
}

void TPasswordDlg::CancelBtnClick() {
    reject();
}

void TPasswordDlg::Image3Click() {
    TAboutDlg about(this);
    about.exec();
}
