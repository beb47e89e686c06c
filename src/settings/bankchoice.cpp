#include "settings/bankchoice.h"

#include "settings/inifile.h"
#include "settings/programfiles.h"
#include "store/connection.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace tess {

namespace {

const QString kUriForm =
    QStringLiteral("postgresql://[用户名@]主机[:端口][,主机[:端口]...]/数据库名[?参数=值&...]");

// The pieces of a server bank's URI that its checks look at.
struct UriParts {
    QString userInfo;                            // before "@", undecoded
    QStringList hosts;                           // "host[:port]" each, undecoded
    QString database;                            // after the first "/", undecoded
    QList<std::pair<QString, QString>> settings; // the parameters, undecoded
    QString problem;                             // empty when the form is right
};

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A "%" must start an escape of two hexadecimal digits.
bool escapesRight(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == u'%' &&
            (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])))
            return false;
    return true;
}

QString decoded(const QString& text) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(text.toUtf8()));
}

QString hostProblem(const QString& host) {
    QString port;
    if (host.startsWith(u'[')) {
        const qsizetype close = host.indexOf(u']');
        if (close < 0)
            return QStringLiteral("IPv6 地址 \"%1\" 缺少 \"]\"").arg(host);
        const QString after = host.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return QStringLiteral("\"]\" 后面应是 \":端口\", 现在是 \"%1\"").arg(after);
        port = after.mid(1);
    } else if (const qsizetype colon = host.indexOf(u':'); colon >= 0) {
        port = host.mid(colon + 1);
    }
    if (port.isEmpty())
        return QString();
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!ok || number < 1 || number > 65535 || port.startsWith(u'+'))
        return QStringLiteral("端口 \"%1\" 不是 1 到 65535 之间的整数").arg(port);
    return QString();
}

UriParts splitUri(const QString& uri) {
    UriParts parts;
    for (const QChar c : uri)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f) {
            parts.problem = QStringLiteral("地址中有空格或控制字符 (空格要写成 %20)");
            return parts;
        }
    if (!escapesRight(uri)) {
        parts.problem = QStringLiteral("\"%\" 后面应是两位十六进制数字 (\"%\" 本身要写成 %25)");
        return parts;
    }
    QString rest = uri.mid(uri.indexOf(QStringLiteral("://")) + 3);
    QString query;
    if (const qsizetype mark = rest.indexOf(u'?'); mark >= 0) {
        query = rest.mid(mark + 1);
        rest.truncate(mark);
    }
    QString authority = rest;
    if (const qsizetype slash = rest.indexOf(u'/'); slash >= 0) {
        authority = rest.left(slash);
        parts.database = rest.mid(slash + 1);
    }
    if (const qsizetype at = authority.indexOf(u'@'); at >= 0) {
        parts.userInfo = authority.left(at);
        authority = authority.mid(at + 1);
    }
    parts.hosts = authority.split(u',');
    for (const QString& host : std::as_const(parts.hosts))
        if (parts.problem = hostProblem(host); !parts.problem.isEmpty())
            return parts;
    if (query.isEmpty())
        return parts;
    for (const QString& setting : query.split(u'&')) {
        const qsizetype equals = setting.indexOf(u'=');
        if (equals < 0) {
            parts.problem = QStringLiteral("参数 \"%1\" 缺少 \"=\" 和它的值").arg(setting);
            return parts;
        }
        if (equals == 0) {
            parts.problem = QStringLiteral("参数 \"%1\" 缺少名称").arg(setting);
            return parts;
        }
        if (setting.indexOf(u'=', equals + 1) >= 0) {
            parts.problem = QStringLiteral("参数 \"%1\" 中有多余的 \"=\" (值中的 \"=\" 要写成 %3D)")
                                .arg(setting.left(equals));
            return parts;
        }
        parts.settings.append({setting.left(equals), setting.mid(equals + 1)});
    }
    return parts;
}

QString settingsWhere(const QString& settingsPath) {
    return QStringLiteral("设置文件 %1 的 [Bank] 一节中 Server= ")
        .arg(QDir::toNativeSeparators(settingsPath));
}

std::optional<BankChoice>& stored() {
    static std::optional<BankChoice> choice;
    return choice;
}

BankChoice besideProgram() {
    BankChoice choice;
    choice.name = ProgramFiles::PaperBankPath();
    return choice;
}

// A named server bank whose URI is malformed is refused, with where it was named.
BankChoice named(BankChoice::Source source, const QString& name, const QString& where) {
    BankChoice choice;
    choice.source = source;
    if (!Connection::isServerName(name)) {
        choice.name = QDir::cleanPath(QFileInfo(name).absoluteFilePath());
        return choice;
    }
    choice.name = name;
    if (const QString problem = serverNameProblem(name); !problem.isEmpty())
        choice.problem = QStringLiteral("%1的服务器试题库地址 %2 写得不对: %3.\n地址的形式是 %4.")
                             .arg(where, displayBankName(name), problem, kUriForm);
    return choice;
}

} // namespace

QString serverNameProblem(const QString& uri) {
    return splitUri(uri).problem;
}

bool serverNameHasPassword(const QString& uri) {
    const UriParts parts = splitUri(uri);
    if (parts.userInfo.contains(u':'))
        return true;
    for (const auto& [key, value] : parts.settings)
        if (decoded(key).compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

BankChoice chooseBank(const QStringList& arguments, const QString& settingsPath) {
    std::optional<QString> argument;
    const QString option = QStringLiteral("--bank");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == option)
            argument = i + 1 < arguments.size() ? arguments[++i] : QString();
        else if (arguments[i].startsWith(option + u'='))
            argument = arguments[i].mid(option.size() + 1);
    }
    if (argument) {
        if (argument->isEmpty()) {
            BankChoice choice;
            choice.source = BankChoice::Source::Argument;
            choice.problem =
                QStringLiteral("命令行参数 --bank 后面缺少试题库: 请写上试题库文件的路径, "
                               "或者服务器试题库的地址, 形式是 %1.")
                    .arg(kUriForm);
            return choice;
        }
        return named(BankChoice::Source::Argument, *argument, QStringLiteral("命令行参数 --bank "));
    }

    IniFile settings;
    settings.load(settingsPath);
    const QString server = settings.value(QStringLiteral("Bank"), QStringLiteral("Server"))
                               .value_or(QString())
                               .trimmed();
    if (server.isEmpty())
        return besideProgram();
    const QString where = settingsWhere(settingsPath);
    BankChoice choice;
    choice.source = BankChoice::Source::Settings;
    if (!Connection::isServerName(server)) {
        choice.problem = QStringLiteral("%1应是服务器试题库的地址, 形式是 %2; 现在是 \"%3\".\n"
                                        "用程序旁边的试题库文件时, 请删去这一行.")
                             .arg(where, kUriForm, server);
        return choice;
    }
    // Said before any other fault, and without the address, which holds the password.
    if (serverNameHasPassword(server)) {
        choice.problem =
            where + QStringLiteral("的地址中写有密码. 密码不能写在设置文件里: 能读这个文件的人"
                                   "都会看到它. 请从地址中删去密码, 改用以下任一种方式提供:\n"
                                   "  ~/.pgpass 密码文件 (只有本人能读, 权限 0600);\n"
                                   "  环境变量 PGPASSFILE 指定的密码文件;\n"
                                   "  连接服务文件 (pg_service.conf) 中的服务;\n"
                                   "  环境变量 PGPASSWORD.");
        return choice;
    }
    return named(BankChoice::Source::Settings, server, where);
}

BankChoice chosenBank() {
    const std::optional<BankChoice>& choice = stored();
    if (!choice)
        return besideProgram();
    if (choice->source == BankChoice::Source::BesideProgram) {
        BankChoice beside = besideProgram();
        beside.problem = choice->problem;
        return beside;
    }
    return *choice;
}

void setChosenBank(const BankChoice& choice) {
    stored() = choice;
}

void clearChosenBank() {
    stored().reset();
}

} // namespace tess
