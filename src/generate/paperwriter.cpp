#include "generate/paperwriter.h"

#include "files/safefile.h"
#include "generate/generateerror.h"
#include "generate/pagepaths.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QFile>
#include <QHash>
#include <QStringEncoder>
#include <algorithm>
#include <climits>

// Resources of a static library must be pulled in by name.
static void initGenerateResources() {
    Q_INIT_RESOURCE(generate);
}

namespace tess {

namespace {

// The page text, written line by line into one string, each line ended by
// CR LF. A line is given in pieces, so that a page of thousands of lines
// makes no small string per line; its picture tags are pointed at the page
// pictures folder as it is ended.
class PageText {
public:
    PageText(qsizetype reserve, const QString& outputPath)
        : m_pictures(imageTagReplacement(outputPath)) {
        m_text.reserve(reserve);
    }
    void add(std::initializer_list<QStringView> pieces) {
        const qsizetype start = m_text.size();
        for (QStringView piece : pieces)
            m_text += piece;
        replaceImageTags(m_text, start, m_pictures);
        m_text += u"\r\n";
    }
    void add(QStringView line) { add({line}); }
    // Text of several lines, each already ended.
    void addLines(const QString& lines) {
        const qsizetype start = m_text.size();
        m_text += lines;
        replaceImageTags(m_text, start, m_pictures);
    }
    QString take() { return std::move(m_text); }

private:
    QString m_text;
    const QString m_pictures;
};

// A value as the table cursors read it: typed after the column's declared
// type, so that the page shows exactly what the grids show.
using Kind = tess::ColumnKind;

Kind kindOf(const Connection& connection, const Statement& stmt, int i, const QString& table,
            const QString& column) {
    return tess::columnKind(stmt.declaredType(i), connection.isBooleanColumn(table, column));
}

const QString kQuestion = QStringLiteral("question");

struct ChoiceRow {
    qint64 id = 0, rowid = 0; // the order among the question's choices
    QVariant number, text, isTrue;
};

struct QuestionRow {
    qint64 id = 0, rowid = 0; // the order among the paper's questions
    QVariant idValue, number, type, mark, text, isTrue;
    Kind numberKind = Kind::Other;
    QList<ChoiceRow> choices;
};

// The paper's questions in identifier order, each with its choices in
// identifier order; equal identifiers keep the order they were stored in, as
// the table cursors order them. Identifiers are integers in every bank this
// program makes: they are then ordered here, which costs far less than the
// engine's sort of the joined rows with their texts. A bank with any other
// identifier is read again with the engine ordering the rows, so that its
// rules for mixed values decide as they do for the cursors.
QList<QuestionRow> readPaper(const Connection& connection, int papId, bool engineOrder) {
    // A question's choices are those whose QstIdx equals its QstID read as an
    // integer, as the cursors read it: null as 0, a fraction rounded half away
    // from zero, a text as the number it spells.
    // A server's QstID is an integer, never null.
    const QString questionId =
        connection.isServer()
            ? QStringLiteral("q.QstID")
            : QStringLiteral("case typeof(q.QstID) when 'integer' then q.QstID when 'null' then 0 "
                             "when 'real' then cast(round(q.QstID) as integer) else "
                             "cast(trim(q.QstID) as integer) end");
    QString sql =
        QStringLiteral("select q.rowid, q.QstID, q.QstIdx, q.QstTyp, q.QstScr, q.QstCon, q.IsTrue, "
                       "c.rowid, c.ChcID, c.ChcIdx, c.ChcCon, c.IsTrue from question q left join "
                       "choice c on c.QstIdx = %1 where q.PapIdx = ?")
            .arg(questionId);
    if (engineOrder)
        sql += QStringLiteral(" order by q.QstID, q.rowid, c.ChcID, c.rowid");
    Statement stmt(connection, sql, QStringLiteral("[表 ") + kQuestion + QLatin1Char(']'));
    stmt.bind(1, qlonglong(papId));
    const QString choice = QStringLiteral("choice");
    const Kind qstId = kindOf(connection, stmt, 1, kQuestion, QStringLiteral("QstID"));
    const Kind qstIdx = kindOf(connection, stmt, 2, kQuestion, QStringLiteral("QstIdx"));
    const Kind qstTyp = kindOf(connection, stmt, 3, kQuestion, QStringLiteral("QstTyp"));
    const Kind qstScr = kindOf(connection, stmt, 4, kQuestion, QStringLiteral("QstScr"));
    const Kind qstCon = kindOf(connection, stmt, 5, kQuestion, QStringLiteral("QstCon"));
    const Kind qstTrue = kindOf(connection, stmt, 6, kQuestion, QStringLiteral("IsTrue"));
    const Kind chcIdx = kindOf(connection, stmt, 9, choice, QStringLiteral("ChcIdx"));
    const Kind chcCon = kindOf(connection, stmt, 10, choice, QStringLiteral("ChcCon"));
    const Kind chcTrue = kindOf(connection, stmt, 11, choice, QStringLiteral("IsTrue"));

    QList<QuestionRow> questions;
    QHash<qint64, qsizetype> byRowid;
    qsizetype current = -1;
    while (stmt.step()) {
        const qint64 rowid = stmt.int64(0);
        if (current < 0 || questions.at(current).rowid != rowid) {
            const auto seen = byRowid.constFind(rowid);
            if (seen != byRowid.cend()) {
                current = *seen;
            } else {
                if (!engineOrder && !stmt.isInteger(1))
                    return readPaper(connection, papId, true);
                current = questions.size();
                byRowid.insert(rowid, current);
                QuestionRow& q = questions.emplace_back();
                q.id = stmt.int64(1);
                q.rowid = rowid;
                q.idValue = stmt.value(1, qstId);
                q.number = stmt.value(2, qstIdx);
                q.numberKind = qstIdx;
                q.type = stmt.value(3, qstTyp);
                q.mark = stmt.value(4, qstScr);
                q.text = stmt.value(5, qstCon);
                q.isTrue = stmt.value(6, qstTrue);
            }
        }
        if (stmt.isNull(7))
            continue;
        if (!engineOrder && !stmt.isInteger(8))
            return readPaper(connection, papId, true);
        questions[current].choices.append(ChoiceRow{stmt.int64(8), stmt.int64(7),
                                                    stmt.value(9, chcIdx), stmt.value(10, chcCon),
                                                    stmt.value(11, chcTrue)});
    }
    if (!engineOrder) {
        const auto byOrder = [](const auto& a, const auto& b) {
            return a.id != b.id ? a.id < b.id : a.rowid < b.rowid;
        };
        std::sort(questions.begin(), questions.end(), byOrder);
        for (QuestionRow& q : questions)
            std::sort(q.choices.begin(), q.choices.end(), byOrder);
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

// The grader script as the page carries it, lines ended by CR LF.
const QString& graderScriptText() {
    static const QString text = [] {
        QString joined;
        for (const QString& line : graderScriptLines())
            joined += line + QStringLiteral("\r\n");
        return joined;
    }();
    return text;
}

// A flag as the grader script reads it.
bool isTrueFlag(const QVariant& value) {
    return tess::textValue(value).toLower() == QLatin1String("true");
}

// A flag as the page's script gets it: only ever the word true or false, so
// that whatever another program stored in the column never runs as script.
QStringView flagScript(const QVariant& value) {
    return isTrueFlag(value) ? u"true" : u"false";
}

// A question as the page shows it, worked out in the paper's order so that a
// value the cursors would refuse is refused at the same question.
struct PageLines {
    const QuestionRow* row = nullptr;
    QuestionKind kind = QuestionKind::Multiple;
    QString mark, text, qst, chc, sel;
    QStringView flag;
};

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

QList<PageQuestion> readPageQuestions(const Connection& connection, int papId) {
    const QList<QuestionRow> rows = readPaper(connection, papId, false);
    QList<PageQuestion> questions;
    questions.reserve(rows.size());
    for (const QuestionRow& row : rows) {
        PageQuestion& q = questions.emplace_back();
        q.kind = questionKindOf(tess::textValue(row.type));
        q.mark = tess::integerValue(kQuestion, QStringLiteral("QstScr"), row.mark);
        q.number = tess::textValue(row.number);
        q.html = tess::textValue(row.text);
        q.flag = tess::textValue(row.isTrue);
        q.answer = isTrueFlag(row.isTrue);
        if (q.kind == QuestionKind::TrueFalse)
            continue;
        q.choices.reserve(row.choices.size());
        for (const ChoiceRow& choice : row.choices)
            q.choices.append({tess::textValue(choice.number), tess::textValue(choice.text),
                              isTrueFlag(choice.isTrue), tess::textValue(choice.isTrue)});
    }
    return questions;
}

QString buildPaperPage(const Connection& connection, const PageSource& paper,
                       const QString& outputPath) {
    const QString full = QString::number(parseFullMark(paper.fullMarkText));
    const QList<QuestionRow> questions = readPaper(connection, paper.papId, false);

    QList<PageLines> page;
    page.reserve(questions.size());
    const QString& grader = graderScriptText();
    qsizetype size = grader.size() + 2 * paper.name.size() + 2048;
    for (const QuestionRow& question : questions) {
        PageLines& q = page.emplace_back();
        q.row = &question;
        const int qstId = tess::integerValue(kQuestion, QStringLiteral("QstID"), question.idValue);
        const int qstIdx = tess::integerValue(kQuestion, QStringLiteral("QstIdx"), question.number);
        const QString type = tess::textValue(question.type);
        q.mark =
            QString::number(tess::integerValue(kQuestion, QStringLiteral("QstScr"), question.mark));
        q.text = tess::textValue(question.text);
        q.flag = flagScript(question.isTrue);
        const QString n = nameKey(question, qstId, qstIdx);
        q.qst = QStringLiteral("Qst_") + n;
        q.chc = QStringLiteral("Chc_") + n;
        q.sel = QStringLiteral("Sel_") + n;
        q.kind = questionKindOf(type);
        // Room for every line of the question and of its choices, so that
        // the page is never moved while it grows.
        size += q.text.size() + 6 * n.size() + 720;
        if (q.kind != QuestionKind::TrueFalse)
            for (const ChoiceRow& choice : question.choices)
                size += choice.text.toString().size() + choice.number.toString().size() +
                        3 * n.size() + 240;
    }

    PageText text(size, outputPath);
    text.add({u"<HTML><HEAD><meta charset=\"gb2312\"><TITLE>", paper.name,
              u"</TITLE></HEAD><BODY topmargin=\"20\">"});
    text.add(u"<FONT face=\"Courier New, Arial, sans-serif\">");
    text.add(
        {u"<P ALIGN=CENTER><FONT FACE=\"sans-serif\" SIZE=\"8\">", paper.name, u"</FONT></P>"});
    text.add(u"<FORM NAME= PaperForm onSubmit=\"return OnJudge();\">");
    text.add({u"<P ALIGN=CENTER>(满分", full, u"分)</P>"});
    text.add(u"<TABLE align=center>");
    text.add(u"<TH width=200></TH><TH width=600></TH>");

    // The sections in a fixed order, each numbered by the ones present.
    // The multiple-choice heading has one blank less before its word.
    const struct {
        QuestionKind kind;
        QStringView indent;
    } sections[] = {{QuestionKind::TrueFalse, u"  "},
                    {QuestionKind::Single, u"  "},
                    {QuestionKind::Multiple, u" "}};
    int numeral = 0;
    for (const auto& section : sections) {
        int next = 0;
        for (const PageLines& q : page) {
            if (q.kind != section.kind)
                continue;
            if (next++ == 0) {
                text.add(u"<TR><TD></TD><TD></TD></TR>");
                text.add(u"<TR>");
                text.add({u"<TD>", NumToChinese(++numeral), u"， "});
                text.add({u"</TD><TD>", section.indent, questionTypeWord(section.kind), u"</TD>"});
                text.add(u"</TR>");
                text.add(u"<TR>");
                text.add(u"<TD>");
                text.add(u"</TD>");
                text.add(u"<TD>");
                text.add(u"<TABLE>");
            }
            const QString number = QString::number(next);
            if (q.kind == QuestionKind::TrueFalse) {
                text.add(u"<TR VALIGN=TOP>");
                text.add({u"<TD>", number, u"，</TD>"});
                text.add({u"<TD align=left>(", q.mark, u"分)", q.text, u"</TD>"});
                text.add(u"</TR>");
                text.add(u"<TR>");
                text.add({u"<TD></TD><TD><TABLE Border=\"1\"><TD align=left width=440>是</TD><TD "
                          u"align=center width=80><input type=Radio name= ",
                          q.sel, u" value=0 >对的</TD>"});
                text.add({u"<TD align=center width=80><input type=Radio name= ", q.sel,
                          u" value=1 >错的</TD></TABLE></TD>"});
                text.add(u"</TR>");
                text.add(u"<TR></TR>");
                continue;
            }
            const bool isSingle = q.kind == QuestionKind::Single;
            text.add(isSingle ? u"<TR  VALIGN=TOP>" : u"<TR VALIGN=TOP>");
            text.add({u"<TD>", number, u"，</TD>"});
            text.add({u"<TD>(", q.mark, u"分)", q.text, u"</TD>"});
            text.add(u"</TR>");
            text.add(u"<TR><TD></TD><TD>");
            text.add(u"<TABLE BORDER>");
            if (!isSingle)
                text.add(u"<FONT face=\"隶书, Courier New, Arial, sans-serif\">");
            text.add(u"<TH align=center width=50>选项</TH>");
            text.add(u"<TH align=left width=470>选项内容</TH>");
            text.add(u"<TH align=center width=80>是否选择</TH>");
            if (!isSingle)
                text.add(u"</FONT>");
            const QStringView input = isSingle ? u"<TD align=center><input type=radio name= "
                                               : u"<TD align=center><input type=checkbox name= ";
            for (const ChoiceRow& choice : q.row->choices) {
                text.add(u"<TR>");
                text.add({u"<TD align=center>", tess::textValue(choice.number), u"</TD>"});
                text.add({u"<TD>", tess::textValue(choice.text), u"</TD>"});
                text.add({input, q.sel, u" value=1 >选择<br></TD>"});
                text.add(u"</TR>");
            }
            text.add(u"</TABLE>");
            text.add(u"<TR></TR>");
        }
        if (next > 0) {
            text.add(u"</TABLE>");
            text.add(u"</TD>");
            text.add(u"</TR>");
        }
    }
    text.add(u"<TR><TD></TD><TD></TD></TR>");
    text.add(u"<TR>");
    text.add(u"<TD>");
    text.add(u"</TD>");
    text.add(u"<TD>");
    text.add(u"<TABLE><TR><TD></TD>");
    text.add(u"<TD width=500>");
    text.add(u"<TABLE border=\"1\"><TD width=500>按此按钮提交试卷-></TD><TD "
             u"width=80 align=center>");
    text.add(u"<input  type=submit name=submit value=\"提交\">");
    text.add(u"</TD></TR></TABLE>");
    text.add(u"</TD></TABLE>");
    text.add(u"</TD>");
    text.add(u"</TR>");
    text.add(u"</TABLE>");
    text.add(u"</FORM>");

    text.add(u"");
    text.add(u"<script language=\"JavaScript\">");
    text.addLines(grader);
    text.add({u"Paper = new JPaper(", QString::number(page.size()), u",", full, u");"});
    for (const PageLines& q : page) {
        if (q.kind == QuestionKind::TrueFalse) {
            text.add({q.qst, u" = new JQuestion(2,", q.mark, u",0);"});
            text.add({q.chc, u" = new JChoice(PaperForm.", q.sel, u",", q.flag, u");"});
            text.add({q.qst, u".AddChoice(", q.chc, u");"});
            text.add({q.chc, u" = new JChoice(PaperForm.", q.sel, u", !", q.flag, u");"});
            text.add({q.qst, u".AddChoice(", q.chc, u");"});
        } else {
            text.add({q.qst, u" = new JQuestion(8,", q.mark,
                      q.kind == QuestionKind::Single ? u",1);" : u",2);"});
            for (const ChoiceRow& choice : q.row->choices) {
                text.add({q.chc, u" = new JChoice(PaperForm.", q.sel, u",",
                          flagScript(choice.isTrue), u");"});
                text.add({q.qst, u".AddChoice(", q.chc, u");"});
            }
        }
        text.add({u"Paper.AddQuestion(", q.qst, u");"});
    }
    text.add(u"</script>");
    text.add(u"</FONT>");
    text.add(u"</BODY></HTML>");
    text.add(u"");
    return text.take();
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
    const QStringView all(text);
    qsizetype from = 0;
    for (qsizetype at; (at = all.indexOf(zeroWidthNoBreak, from)) >= 0; from = at + 1) {
        encodeInto(bytes, all.sliced(from, at - from));
        bytes += "&#65279;";
    }
    encodeInto(bytes, all.sliced(from));
    return bytes;
}

void writePaperPage(const Connection& connection, const PageSource& paper,
                    const QString& outputPath) {
    writePageFile(outputPath, encodePageText(buildPaperPage(connection, paper, outputPath)));
}

void writePageFile(const QString& outputPath, const QByteArray& bytes) {
    // Copies of this page that an interrupted publish left beside it would
    // otherwise pile up, one per interruption.
    removeLeftovers(outputPath);
    const QString failure = replaceFileContents(outputPath, bytes);
    if (!failure.isEmpty())
        throw GenerateError(QStringLiteral("无法写入试卷文件\"") + outputPath +
                            QStringLiteral("\": ") + failure);
}

} // namespace tess
