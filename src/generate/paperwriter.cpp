#include "generate/paperwriter.h"

#include "files/safefile.h"
#include "generate/generateerror.h"
#include "generate/pagepaths.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QFile>
#include <QStringEncoder>
#include <climits>
#include <sqlite3.h>

// Resources of a static library must be pulled in by name.
static void initGenerateResources() {
    Q_INIT_RESOURCE(generate);
}

namespace tess {

namespace {

const QString kTrueFalse = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");

// The rows of one section, numbered by the section's own running number.
struct Section {
    QStringList lines{QStringLiteral("<TABLE>")};
    int next = 1;
    bool present() const { return next > 1; }
};

// A value as the table cursors read it: typed after the column's declared
// type, so that the page shows exactly what the grids show.
enum class Kind { Integer, Boolean, Text, Other };

Kind kindOf(const Connection& connection, sqlite3_stmt* stmt, int i, const QString& table,
            const QString& column) {
    if (connection.isBooleanColumn(table, column))
        return Kind::Boolean;
    const char* declared = sqlite3_column_decltype(stmt, i);
    const QString type = QString::fromUtf8(declared ? declared : "").toUpper();
    if (type.contains(QLatin1String("INT")))
        return Kind::Integer;
    if (type.contains(QLatin1String("TEXT")) || type.contains(QLatin1String("CHAR")))
        return Kind::Text;
    return Kind::Other;
}

QVariant readValue(sqlite3_stmt* stmt, int i, Kind kind) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qlonglong v = sqlite3_column_int64(stmt, i);
        if (kind == Kind::Boolean)
            return QVariant(v != 0);
        if (kind == Kind::Text)
            return QString::number(v);
        if (v >= INT_MIN && v <= INT_MAX)
            return QVariant(int(v));
        return QVariant(v);
    }
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt, i);
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                 sqlite3_column_bytes(stmt, i));
    }
}

// Null reads as 0; what is no 32-bit integer is refused with the cursors' words.
int integerOf(const QString& table, const QString& column, const QVariant& v) {
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? 1 : 0;
    if (v.typeId() == QMetaType::Int)
        return v.toInt();
    bool ok = false;
    const qlonglong n = v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok)
                                                         : v.toLongLong(&ok);
    if (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty())
        return 0;
    if (!ok || n < INT_MIN || n > INT_MAX)
        throw EngineError(
            QStringLiteral("表 %1 的列 %2 的值 \"%3\" 不是整数.").arg(table, column, v.toString()));
    return int(n);
}

// Booleans as "True"/"False", null as "".
QString textOf(const QVariant& v) {
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

const QString kQuestion = QStringLiteral("question");

struct ChoiceRow {
    QVariant number, text, isTrue;
};

struct QuestionRow {
    QVariant id, number, type, mark, text, isTrue;
    Kind numberKind = Kind::Other;
    QList<ChoiceRow> choices;
};

// The paper's questions in identifier order, each with its choices in
// identifier order; equal identifiers keep the order they were stored in.
// One statement, so the page is one moment of the bank.
QList<QuestionRow> readPaper(const Connection& connection, int papId) {
    Statement stmt(connection,
                   QStringLiteral("select q.rowid, q.QstID, q.QstIdx, q.QstTyp, q.QstScr, "
                                  "q.QstCon, q.IsTrue, c.rowid, c.ChcIdx, c.ChcCon, c.IsTrue "
                                  "from question q left join choice c on c.QstIdx = q.QstID "
                                  "where q.PapIdx = ? order by q.QstID, q.rowid, c.ChcID, c.rowid"),
                   QStringLiteral("[表 ") + kQuestion + QLatin1Char(']'));
    stmt.bind(1, qlonglong(papId));
    sqlite3_stmt* const s = stmt.get();
    const QString choice = QStringLiteral("choice");
    const Kind kinds[] = {
        Kind::Other,
        kindOf(connection, s, 1, kQuestion, QStringLiteral("QstID")),
        kindOf(connection, s, 2, kQuestion, QStringLiteral("QstIdx")),
        kindOf(connection, s, 3, kQuestion, QStringLiteral("QstTyp")),
        kindOf(connection, s, 4, kQuestion, QStringLiteral("QstScr")),
        kindOf(connection, s, 5, kQuestion, QStringLiteral("QstCon")),
        kindOf(connection, s, 6, kQuestion, QStringLiteral("IsTrue")),
        Kind::Other,
        kindOf(connection, s, 8, choice, QStringLiteral("ChcIdx")),
        kindOf(connection, s, 9, choice, QStringLiteral("ChcCon")),
        kindOf(connection, s, 10, choice, QStringLiteral("IsTrue")),
    };
    QList<QuestionRow> questions;
    qint64 lastRowid = 0;
    while (stmt.step()) {
        const qint64 rowid = sqlite3_column_int64(s, 0);
        if (questions.isEmpty() || rowid != lastRowid) {
            lastRowid = rowid;
            QuestionRow& q = questions.emplace_back();
            q.id = readValue(s, 1, kinds[1]);
            q.number = readValue(s, 2, kinds[2]);
            q.numberKind = kinds[2];
            q.type = readValue(s, 3, kinds[3]);
            q.mark = readValue(s, 4, kinds[4]);
            q.text = readValue(s, 5, kinds[5]);
            q.isTrue = readValue(s, 6, kinds[6]);
        }
        if (sqlite3_column_type(s, 7) != SQLITE_NULL)
            questions.last().choices.append(ChoiceRow{
                readValue(s, 8, kinds[8]), readValue(s, 9, kinds[9]), readValue(s, 10, kinds[10])});
    }
    return questions;
}

// The page's names of a question: Qst_, Chc_ and Sel_ followed by its number.
// A question without a usable number (none, or negative) is named after its
// identifier instead: otherwise unnumbered questions would all share one
// group of controls, and a minus sign would break the script.
QString nameKey(const QuestionRow& question, int qstId, int qstIdx) {
    const QVariant& v = question.number;
    const bool none = v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty() &&
                                     question.numberKind != Kind::Text);
    if (none || qstIdx < 0)
        return QStringLiteral("id") + QString::number(qstId);
    return QString::number(qstIdx);
}

void appendSectionBlock(QStringList& body, const QString& numeral, const QString& heading,
                        const Section& section) {
    body << QStringLiteral("<TR><TD></TD><TD></TD></TR>") << QStringLiteral("<TR>")
         << QStringLiteral("<TD>") + numeral + QStringLiteral("， ") << heading
         << QStringLiteral("</TR>") << QStringLiteral("<TR>") << QStringLiteral("<TD>")
         << QStringLiteral("</TD>") << QStringLiteral("<TD>");
    body += section.lines;
    body << QStringLiteral("</TD>") << QStringLiteral("</TR>");
}

} // namespace

QStringList graderScriptLines() {
    static const QStringList lines = [] {
        initGenerateResources();
        QFile file(QStringLiteral(":/generate/grader.js"));
        if (!file.open(QIODevice::ReadOnly))
            throw GenerateError(QStringLiteral("程序缺少试卷评分脚本, 请重新安装本程序."));
        QString text = QString::fromUtf8(file.readAll());
        text.remove(QLatin1Char('\r'));
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        return text.split(QLatin1Char('\n'));
    }();
    return lines;
}

int parseFullMark(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        throw GenerateError(
            QStringLiteral("试卷的满分为空, 无法生成试卷. 请在试卷属性中填写满分后再生成."));
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (!ok)
        throw GenerateError(QStringLiteral("试卷的满分\"") + text +
                            QStringLiteral("\"不是整数, 无法生成试卷. 请在试卷属性中改正满分."));
    return value;
}

QString buildPaperPage(const Connection& connection, const PageSource& paper,
                       const QString& outputPath) {
    Section trueFalse, single, multiple;
    QStringList script{QString(), QStringLiteral("<script language=\"JavaScript\">")};
    script += graderScriptLines();

    QStringList body;
    body << QStringLiteral("<HTML><HEAD><meta charset=\"gb2312\"><TITLE>") + paper.name +
                QStringLiteral("</TITLE></HEAD><BODY topmargin=\"20\">")
         << QStringLiteral("<FONT face=\"Courier New, Arial, sans-serif\">")
         << QStringLiteral("<P ALIGN=CENTER><FONT FACE=\"sans-serif\" SIZE=\"8\">") + paper.name +
                QStringLiteral("</FONT></P>")
         << QStringLiteral("<FORM NAME= PaperForm onSubmit=\"return OnJudge();\">");
    const QString full = QString::number(parseFullMark(paper.fullMarkText));
    body << QStringLiteral("<P ALIGN=CENTER>(满分") + full + QStringLiteral("分)</P>");

    const QList<QuestionRow> questions = readPaper(connection, paper.papId);
    script << QStringLiteral("Paper = new JPaper(") + QString::number(questions.size()) +
                  QLatin1Char(',') + full + QStringLiteral(");");

    for (const QuestionRow& question : questions) {
        const int qstId = integerOf(kQuestion, QStringLiteral("QstID"), question.id);
        const int qstIdx = integerOf(kQuestion, QStringLiteral("QstIdx"), question.number);
        const QString type = textOf(question.type);
        const QString mark =
            QString::number(integerOf(kQuestion, QStringLiteral("QstScr"), question.mark));
        const QString text = textOf(question.text);
        const QString flag = textOf(question.isTrue).toLower();
        const QString n = nameKey(question, qstId, qstIdx);
        const QString qst = QStringLiteral("Qst_") + n;
        const QString chc = QStringLiteral("Chc_") + n;
        const QString sel = QStringLiteral("Sel_") + n;
        const QString addChoice = qst + QStringLiteral(".AddChoice(") + chc + QStringLiteral(");");

        if (type == kTrueFalse) {
            Section& s = trueFalse;
            s.lines << QStringLiteral("<TR VALIGN=TOP>")
                    << QStringLiteral("<TD>") + QString::number(s.next++) +
                           QStringLiteral("，</TD>")
                    << QStringLiteral("<TD align=left>(") + mark + QStringLiteral("分)") + text +
                           QStringLiteral("</TD>")
                    << QStringLiteral("</TR>") << QStringLiteral("<TR>")
                    << QStringLiteral("<TD></TD><TD><TABLE Border=\"1\"><TD align=left "
                                      "width=440>是</TD><TD align=center width=80><input "
                                      "type=Radio name= ") +
                           sel + QStringLiteral(" value=0 >对的</TD>")
                    << QStringLiteral("<TD align=center width=80><input type=Radio name= ") + sel +
                           QStringLiteral(" value=1 >错的</TD></TABLE></TD>")
                    << QStringLiteral("</TR>") << QStringLiteral("<TR></TR>");
            script << qst + QStringLiteral(" = new JQuestion(2,") + mark + QStringLiteral(",0);")
                   << chc + QStringLiteral(" = new JChoice(PaperForm.") + sel + QLatin1Char(',') +
                          flag + QStringLiteral(");")
                   << addChoice
                   << chc + QStringLiteral(" = new JChoice(PaperForm.") + sel +
                          QStringLiteral(", !") + flag + QStringLiteral(");")
                   << addChoice;
        } else {
            const bool isSingle = type == kSingle;
            Section& s = isSingle ? single : multiple;
            script << qst + QStringLiteral(" = new JQuestion(8,") + mark +
                          (isSingle ? QStringLiteral(",1);") : QStringLiteral(",2);"));
            s.lines << (isSingle ? QStringLiteral("<TR  VALIGN=TOP>")
                                 : QStringLiteral("<TR VALIGN=TOP>"))
                    << QStringLiteral("<TD>") + QString::number(s.next++) +
                           QStringLiteral("，</TD>")
                    << QStringLiteral("<TD>(") + mark + QStringLiteral("分)") + text +
                           QStringLiteral("</TD>")
                    << QStringLiteral("</TR>") << QStringLiteral("<TR><TD></TD><TD>")
                    << QStringLiteral("<TABLE BORDER>");
            if (!isSingle)
                s.lines << QStringLiteral("<FONT face=\"隶书, Courier New, Arial, sans-serif\">");
            s.lines << QStringLiteral("<TH align=center width=50>选项</TH>")
                    << QStringLiteral("<TH align=left width=470>选项内容</TH>")
                    << QStringLiteral("<TH align=center width=80>是否选择</TH>");
            if (!isSingle)
                s.lines << QStringLiteral("</FONT>");
            const QString input =
                isSingle ? QStringLiteral("<TD align=center><input type=radio name= ")
                         : QStringLiteral("<TD align=center><input type=checkbox name= ");
            for (const ChoiceRow& choice : question.choices) {
                const QString idx = textOf(choice.number);
                const QString ctext = textOf(choice.text);
                const QString cflag = textOf(choice.isTrue).toLower();
                script << chc + QStringLiteral(" = new JChoice(PaperForm.") + sel +
                              QLatin1Char(',') + cflag + QStringLiteral(");")
                       << addChoice;
                s.lines << QStringLiteral("<TR>")
                        << QStringLiteral("<TD align=center>") + idx + QStringLiteral("</TD>")
                        << QStringLiteral("<TD>") + ctext + QStringLiteral("</TD>")
                        << input + sel + QStringLiteral(" value=1 >选择<br></TD>")
                        << QStringLiteral("</TR>");
            }
            s.lines << QStringLiteral("</TABLE>") << QStringLiteral("<TR></TR>");
        }
        script << QStringLiteral("Paper.AddQuestion(") + qst + QStringLiteral(");");
    }
    script << QStringLiteral("</script>");

    body << QStringLiteral("<TABLE align=center>")
         << QStringLiteral("<TH width=200></TH><TH width=600></TH>");
    int numeral = 0;
    const struct {
        Section* section;
        QString heading;
    } blocks[] = {{&trueFalse, QStringLiteral("</TD><TD>  判断题</TD>")},
                  {&single, QStringLiteral("</TD><TD>  单选题</TD>")},
                  {&multiple, QStringLiteral("</TD><TD> 多选题</TD>")}};
    for (const auto& block : blocks) {
        if (!block.section->present())
            continue;
        block.section->lines << QStringLiteral("</TABLE>");
        appendSectionBlock(body, NumToChinese(++numeral), block.heading, *block.section);
    }
    body << QStringLiteral("<TR><TD></TD><TD></TD></TR>") << QStringLiteral("<TR>")
         << QStringLiteral("<TD>") << QStringLiteral("</TD>") << QStringLiteral("<TD>")
         << QStringLiteral("<TABLE><TR><TD></TD>") << QStringLiteral("<TD width=500>")
         << QStringLiteral("<TABLE border=\"1\"><TD width=500>按此按钮提交试卷-></TD><TD "
                           "width=80 align=center>")
         << QStringLiteral("<input  type=submit name=submit value=\"提交\">")
         << QStringLiteral("</TD></TR></TABLE>") << QStringLiteral("</TD></TABLE>")
         << QStringLiteral("</TD>") << QStringLiteral("</TR>") << QStringLiteral("</TABLE>")
         << QStringLiteral("</FORM>");
    body += script;
    body << QStringLiteral("</FONT>") << QStringLiteral("</BODY></HTML>");

    static const QString crlf = QStringLiteral("\r\n");
    QString page;
    qsizetype size = 0;
    for (const QString& line : body)
        size += line.size() + 2;
    page.reserve(size + 2);
    for (const QString& line : body) {
        page += line;
        page += crlf;
    }
    return ReplaceImagePath(page, outputPath) + crlf;
}

namespace {

// Encodes a piece of text; where GBK cannot hold a character the piece is
// halved until that character stands alone and becomes a reference.
void encodeInto(QByteArray& out, QStringView text) {
    QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError()) {
        out += bytes;
        return;
    }
    const bool pair =
        text.size() == 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate();
    if (text.size() == 1 || pair) {
        const char32_t codePoint = pair ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                                   : text.at(0).isSurrogate()
                                       ? char32_t(QChar::ReplacementCharacter)
                                       : char32_t(text.at(0).unicode());
        out += "&#" + QByteArray::number(uint(codePoint)) + ';';
        return;
    }
    qsizetype half = text.size() / 2;
    if (text.at(half).isLowSurrogate() && text.at(half - 1).isHighSurrogate())
        ++half;
    encodeInto(out, text.left(half));
    encodeInto(out, text.mid(half));
}

} // namespace

QByteArray encodePageText(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    // The encoder drops U+FEFF silently instead of failing on it, so it never
    // reaches the reference fallback.
    const QChar zeroWidthNoBreak(0xFEFF);
    const QStringList pieces = text.split(zeroWidthNoBreak);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            bytes += "&#65279;";
        encodeInto(bytes, pieces.at(i));
    }
    return bytes;
}

void writePaperPage(const Connection& connection, const PageSource& paper,
                    const QString& outputPath) {
    const QByteArray bytes = encodePageText(buildPaperPage(connection, paper, outputPath));
    // Copies of this page that an interrupted publish left beside it would
    // otherwise pile up, one per interruption.
    removeLeftovers(outputPath);
    const QString failure = replaceFileContents(outputPath, bytes);
    if (!failure.isEmpty())
        throw GenerateError(QStringLiteral("无法写入试卷文件\"") + outputPath +
                            QStringLiteral("\": ") + failure);
}

} // namespace tess
