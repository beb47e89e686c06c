#include "bankhelpers.h"
#include "generate/generateerror.h"
#include "generate/paperwriter.h"
#include "killdrill.h"
#include "paperfixture.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace tess;

namespace {

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");
const QString kMulti = QStringLiteral("多选题");

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The page's lines; the final empty line stays as the last element.
QStringList pageLines(const QString& path) {
    const QByteArray bytes = readFile(path);
    QStringDecoder gbk("GBK");
    const QString text = gbk.decode(bytes);
    return text.split(QStringLiteral("\r\n"));
}

QStringList head(const QString& name, int full) {
    return {QStringLiteral("<HTML><HEAD><meta charset=\"gb2312\"><TITLE>") + name +
                QStringLiteral("</TITLE></HEAD><BODY topmargin=\"20\">"),
            QStringLiteral("<FONT face=\"Courier New, Arial, sans-serif\">"),
            QStringLiteral("<P ALIGN=CENTER><FONT FACE=\"sans-serif\" SIZE=\"8\">") + name +
                QStringLiteral("</FONT></P>"),
            QStringLiteral("<FORM NAME= PaperForm onSubmit=\"return OnJudge();\">"),
            QStringLiteral("<P ALIGN=CENTER>(满分") + QString::number(full) +
                QStringLiteral("分)</P>"),
            QStringLiteral("<TABLE align=center>"),
            QStringLiteral("<TH width=200></TH><TH width=600></TH>")};
}

QStringList sectionStart(const QString& numeral, const QString& heading) {
    return {QStringLiteral("<TR><TD></TD><TD></TD></TR>"),
            QStringLiteral("<TR>"),
            QStringLiteral("<TD>") + numeral + QStringLiteral("， "),
            heading,
            QStringLiteral("</TR>"),
            QStringLiteral("<TR>"),
            QStringLiteral("<TD>"),
            QStringLiteral("</TD>"),
            QStringLiteral("<TD>"),
            QStringLiteral("<TABLE>")};
}

const QStringList kSectionEnd{QStringLiteral("</TABLE>"), QStringLiteral("</TD>"),
                              QStringLiteral("</TR>")};

QStringList submitBlock() {
    return {QStringLiteral("<TR><TD></TD><TD></TD></TR>"),
            QStringLiteral("<TR>"),
            QStringLiteral("<TD>"),
            QStringLiteral("</TD>"),
            QStringLiteral("<TD>"),
            QStringLiteral("<TABLE><TR><TD></TD>"),
            QStringLiteral("<TD width=500>"),
            QStringLiteral("<TABLE border=\"1\"><TD width=500>按此按钮提交试卷-></TD><TD width=80 "
                           "align=center>"),
            QStringLiteral("<input  type=submit name=submit value=\"提交\">"),
            QStringLiteral("</TD></TR></TABLE>"),
            QStringLiteral("</TD></TABLE>"),
            QStringLiteral("</TD>"),
            QStringLiteral("</TR>"),
            QStringLiteral("</TABLE>"),
            QStringLiteral("</FORM>")};
}

QStringList scriptStart() {
    QStringList lines{QString(), QStringLiteral("<script language=\"JavaScript\">")};
    return lines + graderScriptLines();
}

const QStringList kTail{QStringLiteral("</script>"), QStringLiteral("</FONT>"),
                        QStringLiteral("</BODY></HTML>"), QString(), QString()};

// Three papers in one bank with what a writer easily gets wrong: marks and
// texts left empty, a question without a number or with a negative one,
// choices whose identifiers run against their numbers, a number used twice,
// choices of another paper's question between them, choices of no question,
// a choice question without choices, a type left empty, and rows whose
// identifiers run against the order they were stored in.
void fillAwkwardPapers(PaperFixture& bank) {
    banktest::SetupTransaction rows(bank.conn);
    const int p1 = bank.addPaper(QStringLiteral("综合<b>卷</b>"), 100);
    const int p2 = bank.addPaper(QStringLiteral("别的卷"), 10);
    bank.addPaper(QStringLiteral("空卷"), 7);
    const int a = bank.addQuestion(p1, 2, kSingle, QVariant(), QVariant());
    bank.addChoice(a, 3, QStringLiteral("丙"), false);
    bank.addChoice(a, 1, QStringLiteral("甲"), true);
    const int other = bank.addQuestion(p2, 1, kMulti, 10, QStringLiteral("别的卷的题"));
    bank.addChoices(other, 3, {2});
    bank.addChoice(a, 1, QStringLiteral("又一个甲"), false);
    bank.addChoice(a, 2, QVariant(), true);
    const int tf = bank.addQuestion(
        p1, QVariant(), kTF, 5, QStringLiteral("<IMG SRC=\"images\\图 1.jpg\">地球是圆的"), false);
    bank.addChoice(tf, 1, QStringLiteral("判断题下的选项"), true);
    bank.addQuestion(p1, 4, kMulti, 10, QStringLiteral("没有选项"));
    const int unknown = bank.addQuestion(p1, -3, QStringLiteral("填空题"), -2,
                                         QStringLiteral("笑\U0001F600\uFEFF"));
    bank.addChoice(unknown, 2, QStringLiteral("<IMG SRC=\"images\\b.png\">B"), true);
    bank.addChoice(unknown, 1, QStringLiteral("A"), false);
    bank.addChoice(999, 1, QStringLiteral("没有题目的选项"), true);
    bank.addQuestion(p1, 4, kTF, 0, QStringLiteral("题号重复"), true);
    bank.addQuestion(p2, 2, kTF, 0, QStringLiteral("别的卷的判断题"), true);
    // Stored last, ordered first or between by their identifiers.
    bank.conn.execute(QStringLiteral(
        "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) "
        "values (0, 1, 7, null, 3, 'x', 0)"));
    bank.conn.execute(
        QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
                       "(0, 1, null, 1, '零号'), (-5, 0, 9, 0, 'y'), (100, 0, 8, 1, 'z')"));
    rows.commit();
}

// A bank whose tables take any type, as another program may have made it:
// identifiers that are fractions or texts, numbers that are fractions, a text
// stored as bytes. A question's choices are those whose QstIdx is its QstID
// read as an integer, so the questions 2.5 and 3 share theirs.
void makeLooseBank(const QString& path) {
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const QString statements =
        paperBankSchema().replace(QStringLiteral(") STRICT;"), QStringLiteral(");")) +
        QStringLiteral(
            "pragma ignore_check_constraints = on;"
            "insert into paper (PapID, PapNam, PapScr) values (1, '宽松卷', 10), (2, '文本编号', "
            "5);"
            "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) values "
            "(3, 1, 2, '多选题', '4', x'e4b8ad', 1), (2.5, 1, 1, '单选题', 2.5, 42, 0), "
            "(10, 2, 1, '单选题', 5, 'q', 0), (4, 1, 3, '判断题', 1, 't', 1);"
            "insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
            "('b', 3, 1, 1, 'B'), ('a', 3, 2, 0, 'A'), (7, 3, 3, 0, null), "
            "(6.5, 3, 4.5, 1, 6.5), (9, 3, '五', 0, '九'), "
            "('z', 10, 1, 1, 'Z'), (5, 10, 2, 0, '五号'), (1, 4, 1, 1, '判断的选项');");
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, &error);
    const QString text = QString::fromUtf8(error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(text));
}

} // namespace

class TestPaperWriter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void paperWithoutQuestions();
    void wholePageOfEveryType();
    void sectionsNumberedByPresence();
    void runningNumbersAndNames();
    void unknownTypeIsMultipleChoice();
    void tenChoicesAllShown();
    void textsUnescapedPicturesRewritten();
    void unusableNumbersGetOwnGroups();
    void charactersOutsideGbkKept();
    void rewriteGivesSameFile();
    void keptPages_data();
    void keptPages();
    void refusals_data();
    void refusals();
    void killedWrite_data();
    void killedWrite();

private:
    QStringList write(int papId, const QString& name, const QString& full,
                      const QString& file = QStringLiteral("paper.html"));

    QTemporaryDir* m_dir = nullptr;
    PaperFixture* m_bank = nullptr;
};

void TestPaperWriter::init() {
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_bank = new PaperFixture(m_dir->filePath(QStringLiteral("bank.mdb")));
}

void TestPaperWriter::cleanup() {
    delete m_bank;
    delete m_dir;
}

QStringList TestPaperWriter::write(int papId, const QString& name, const QString& full,
                                   const QString& file) {
    const QString path = m_dir->filePath(file);
    writePaperPage(m_bank->conn, PageSource{papId, name, full}, path);
    return pageLines(path);
}

void TestPaperWriter::paperWithoutQuestions() {
    const int pap = m_bank->addPaper(QStringLiteral("空试卷"), 100);
    const QStringList lines = write(pap, QStringLiteral("空试卷"), QStringLiteral("100"));
    const QStringList expected = head(QStringLiteral("空试卷"), 100) + submitBlock() +
                                 scriptStart() +
                                 QStringList{QStringLiteral("Paper = new JPaper(0,100);")} + kTail;
    QCOMPARE(lines, expected);
    // CR LF throughout, and the file ends with an empty line.
    const QByteArray bytes = readFile(m_dir->filePath(QStringLiteral("paper.html")));
    QVERIFY(bytes.endsWith("</BODY></HTML>\r\n\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
}

void TestPaperWriter::wholePageOfEveryType() {
    const int pap = m_bank->addPaper(QStringLiteral("期中考试"), 100);
    // Read in identifier order: multi first, then true/false, then single.
    const int q1 = m_bank->addQuestion(pap, 3, kMulti, 40, QStringLiteral("哪些是偶数"));
    m_bank->addChoice(q1, 1, QStringLiteral("二"), true);
    m_bank->addChoice(q1, 2, QStringLiteral("三"), false);
    m_bank->addQuestion(pap, 1, kTF, 20, QStringLiteral("地球是圆的"), false);
    const int q3 = m_bank->addQuestion(pap, 2, kSingle, QVariant(), QStringLiteral("选一个"));
    m_bank->addChoice(q3, 5, QStringLiteral("甲"), false);
    m_bank->addChoice(q3, 6, QStringLiteral("乙"), true);

    const QStringList lines = write(pap, QStringLiteral("期中考试"), QStringLiteral("100"));

    QStringList expected = head(QStringLiteral("期中考试"), 100);
    expected += sectionStart(QStringLiteral("一"), QStringLiteral("</TD><TD>  判断题</TD>"));
    expected += QStringList{
        QStringLiteral("<TR VALIGN=TOP>"),
        QStringLiteral("<TD>1，</TD>"),
        QStringLiteral("<TD align=left>(20分)地球是圆的</TD>"),
        QStringLiteral("</TR>"),
        QStringLiteral("<TR>"),
        QStringLiteral("<TD></TD><TD><TABLE Border=\"1\"><TD align=left width=440>是</TD><TD "
                       "align=center width=80><input type=Radio name= Sel_1 value=0 >对的</TD>"),
        QStringLiteral("<TD align=center width=80><input type=Radio name= Sel_1 value=1 "
                       ">错的</TD></TABLE></TD>"),
        QStringLiteral("</TR>"),
        QStringLiteral("<TR></TR>")};
    expected += kSectionEnd;
    expected += sectionStart(QStringLiteral("二"), QStringLiteral("</TD><TD>  单选题</TD>"));
    expected += QStringList{QStringLiteral("<TR  VALIGN=TOP>"),
                            QStringLiteral("<TD>1，</TD>"),
                            QStringLiteral("<TD>(0分)选一个</TD>"),
                            QStringLiteral("</TR>"),
                            QStringLiteral("<TR><TD></TD><TD>"),
                            QStringLiteral("<TABLE BORDER>"),
                            QStringLiteral("<TH align=center width=50>选项</TH>"),
                            QStringLiteral("<TH align=left width=470>选项内容</TH>"),
                            QStringLiteral("<TH align=center width=80>是否选择</TH>"),
                            QStringLiteral("<TR>"),
                            QStringLiteral("<TD align=center>5</TD>"),
                            QStringLiteral("<TD>甲</TD>"),
                            QStringLiteral("<TD align=center><input type=radio name= Sel_2 value=1 "
                                           ">选择<br></TD>"),
                            QStringLiteral("</TR>"),
                            QStringLiteral("<TR>"),
                            QStringLiteral("<TD align=center>6</TD>"),
                            QStringLiteral("<TD>乙</TD>"),
                            QStringLiteral("<TD align=center><input type=radio name= Sel_2 value=1 "
                                           ">选择<br></TD>"),
                            QStringLiteral("</TR>"),
                            QStringLiteral("</TABLE>"),
                            QStringLiteral("<TR></TR>")};
    expected += kSectionEnd;
    expected += sectionStart(QStringLiteral("三"), QStringLiteral("</TD><TD> 多选题</TD>"));
    expected += QStringList{
        QStringLiteral("<TR VALIGN=TOP>"),
        QStringLiteral("<TD>1，</TD>"),
        QStringLiteral("<TD>(40分)哪些是偶数</TD>"),
        QStringLiteral("</TR>"),
        QStringLiteral("<TR><TD></TD><TD>"),
        QStringLiteral("<TABLE BORDER>"),
        QStringLiteral("<FONT face=\"隶书, Courier New, Arial, sans-serif\">"),
        QStringLiteral("<TH align=center width=50>选项</TH>"),
        QStringLiteral("<TH align=left width=470>选项内容</TH>"),
        QStringLiteral("<TH align=center width=80>是否选择</TH>"),
        QStringLiteral("</FONT>"),
        QStringLiteral("<TR>"),
        QStringLiteral("<TD align=center>1</TD>"),
        QStringLiteral("<TD>二</TD>"),
        QStringLiteral("<TD align=center><input type=checkbox name= Sel_3 value=1 >选择<br></TD>"),
        QStringLiteral("</TR>"),
        QStringLiteral("<TR>"),
        QStringLiteral("<TD align=center>2</TD>"),
        QStringLiteral("<TD>三</TD>"),
        QStringLiteral("<TD align=center><input type=checkbox name= Sel_3 value=1 >选择<br></TD>"),
        QStringLiteral("</TR>"),
        QStringLiteral("</TABLE>"),
        QStringLiteral("<TR></TR>")};
    expected += kSectionEnd;
    expected += submitBlock();
    expected += scriptStart();
    expected += QStringList{QStringLiteral("Paper = new JPaper(3,100);"),
                            QStringLiteral("Qst_3 = new JQuestion(8,40,2);"),
                            QStringLiteral("Chc_3 = new JChoice(PaperForm.Sel_3,true);"),
                            QStringLiteral("Qst_3.AddChoice(Chc_3);"),
                            QStringLiteral("Chc_3 = new JChoice(PaperForm.Sel_3,false);"),
                            QStringLiteral("Qst_3.AddChoice(Chc_3);"),
                            QStringLiteral("Paper.AddQuestion(Qst_3);"),
                            QStringLiteral("Qst_1 = new JQuestion(2,20,0);"),
                            QStringLiteral("Chc_1 = new JChoice(PaperForm.Sel_1,false);"),
                            QStringLiteral("Qst_1.AddChoice(Chc_1);"),
                            QStringLiteral("Chc_1 = new JChoice(PaperForm.Sel_1, !false);"),
                            QStringLiteral("Qst_1.AddChoice(Chc_1);"),
                            QStringLiteral("Paper.AddQuestion(Qst_1);"),
                            QStringLiteral("Qst_2 = new JQuestion(8,0,1);"),
                            QStringLiteral("Chc_2 = new JChoice(PaperForm.Sel_2,false);"),
                            QStringLiteral("Qst_2.AddChoice(Chc_2);"),
                            QStringLiteral("Chc_2 = new JChoice(PaperForm.Sel_2,true);"),
                            QStringLiteral("Qst_2.AddChoice(Chc_2);"),
                            QStringLiteral("Paper.AddQuestion(Qst_2);")};
    expected += kTail;
    QCOMPARE(lines, expected);
}

void TestPaperWriter::sectionsNumberedByPresence() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    const int q1 = m_bank->addQuestion(pap, 1, kMulti, 5, QStringLiteral("m"));
    m_bank->addChoices(q1, 2, {1});
    const int q2 = m_bank->addQuestion(pap, 2, kSingle, 5, QStringLiteral("s"));
    m_bank->addChoices(q2, 2, {1});
    const QStringList lines = write(pap, QStringLiteral("p"), QStringLiteral("10"));
    const qsizetype one = lines.indexOf(QStringLiteral("<TD>一， "));
    const qsizetype two = lines.indexOf(QStringLiteral("<TD>二， "));
    QVERIFY(one > 0 && two > one);
    QCOMPARE(lines.at(one + 1), QStringLiteral("</TD><TD>  单选题</TD>"));
    QCOMPARE(lines.at(two + 1), QStringLiteral("</TD><TD> 多选题</TD>"));
    QVERIFY(!lines.contains(QStringLiteral("</TD><TD>  判断题</TD>")));
    QVERIFY(!lines.contains(QStringLiteral("<TD>三， ")));
}

void TestPaperWriter::runningNumbersAndNames() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 9, kTF, 1, QStringLiteral("a"));
    m_bank->addQuestion(pap, 4, kTF, 1, QStringLiteral("b"));
    m_bank->addQuestion(pap, 12, kTF, 5, QStringLiteral("c"));
    const QStringList lines = write(pap, QStringLiteral("p"), QStringLiteral("10"));
    const qsizetype third = lines.indexOf(QStringLiteral("<TD>3，</TD>"));
    QVERIFY(third > 0);
    QCOMPARE(lines.at(third + 1), QStringLiteral("<TD align=left>(5分)c</TD>"));
    QVERIFY(lines.at(third + 4).contains(QStringLiteral("name= Sel_12 value=0 >对的")));
    QVERIFY(lines.contains(QStringLiteral("Paper = new JPaper(3,10);")));
    QVERIFY(lines.contains(QStringLiteral("Qst_12 = new JQuestion(2,5,0);")));
    QVERIFY(lines.contains(QStringLiteral("Chc_4 = new JChoice(PaperForm.Sel_4, !true);")));
}

void TestPaperWriter::unknownTypeIsMultipleChoice() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    const int q = m_bank->addQuestion(pap, 1, QStringLiteral("填空题"), 10, QStringLiteral("a"));
    m_bank->addChoices(q, 2, {2});
    const QStringList lines = write(pap, QStringLiteral("p"), QStringLiteral("10"));
    QVERIFY(lines.contains(QStringLiteral("</TD><TD> 多选题</TD>")));
    QVERIFY(lines.contains(QStringLiteral("Qst_1 = new JQuestion(8,10,2);")));
    QCOMPARE(lines.filter(QStringLiteral("type=checkbox name= Sel_1 value=1")).size(), 2);
}

void TestPaperWriter::tenChoicesAllShown() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    const int q = m_bank->addQuestion(pap, 1, kSingle, 10, QStringLiteral("a"));
    m_bank->addChoices(q, 10, {10});
    const QStringList lines = write(pap, QStringLiteral("p"), QStringLiteral("10"));
    QVERIFY(lines.contains(QStringLiteral("Qst_1 = new JQuestion(8,10,1);")));
    QCOMPARE(lines.count(QStringLiteral("Qst_1.AddChoice(Chc_1);")), 10);
    QCOMPARE(lines.filter(QStringLiteral("type=radio name= Sel_1 value=1")).size(), 10);
    QVERIFY(lines.contains(QStringLiteral("<TD align=center>10</TD>")));
    QCOMPARE(lines.indexOf(QStringLiteral("Chc_1 = new JChoice(PaperForm.Sel_1,true);")),
             lines.lastIndexOf(QStringLiteral("Qst_1.AddChoice(Chc_1);")) - 1);
}

void TestPaperWriter::textsUnescapedPicturesRewritten() {
    const int pap = m_bank->addPaper(QStringLiteral("<i>期末</i>"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10,
                        QStringLiteral("<b>看图</b><IMG SRC=\"images\\map 1.jpg\"><IMG "
                                       "SRC=\"images\\map 1.jpg\"><img src=\"images\\x.jpg\">"));
    const QStringList lines =
        write(pap, QStringLiteral("<i>期末</i>"), QStringLiteral("10"), QStringLiteral("mid"));
    QVERIFY(lines.first().contains(QStringLiteral("<TITLE><i>期末</i></TITLE>")));
    QVERIFY(lines.contains(
        QStringLiteral("<TD align=left>(10分)<b>看图</b><IMG SRC=\"mid.files\\map 1.jpg\"><IMG "
                       "SRC=\"mid.files\\map 1.jpg\"><img src=\"images\\x.jpg\"></TD>")));
}

void TestPaperWriter::unusableNumbersGetOwnGroups() {
    // Without a number every question would be Sel_0 and share one group of
    // controls; a negative number would be read as a subtraction.
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    const int q1 = m_bank->addQuestion(pap, QVariant(), kTF, 5, QStringLiteral("a"));
    const int q2 = m_bank->addQuestion(pap, -2, kSingle, 5, QStringLiteral("b"));
    m_bank->addChoices(q2, 2, {1});
    m_bank->addQuestion(pap, 0, kTF, 0, QStringLiteral("c"));
    const QStringList lines = write(pap, QStringLiteral("p"), QStringLiteral("10"));
    const QString id1 = QString::number(q1), id2 = QString::number(q2);
    QVERIFY(lines.contains(QStringLiteral("Qst_id") + id1 +
                           QStringLiteral(" = new JQuestion(2,5,0);")));
    QVERIFY(lines.contains(QStringLiteral("Chc_id") + id2 +
                           QStringLiteral(" = new JChoice(PaperForm.Sel_id") + id2 +
                           QStringLiteral(",true);")));
    QCOMPARE(lines.filter(QStringLiteral("name= Sel_id") + id1 + QLatin1Char(' ')).size(), 2);
    QVERIFY(lines.contains(QStringLiteral("Qst_0 = new JQuestion(2,0,0);")));
}

void TestPaperWriter::charactersOutsideGbkKept() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("笑\U0001F600𠀀\uFEFF"));
    const QStringList lines = write(pap, QStringLiteral("p"), QStringLiteral("10"));
    QVERIFY(
        lines.contains(QStringLiteral("<TD align=left>(10分)笑&#128512;&#131072;&#65279;</TD>")));
    QVERIFY(readFile(m_dir->filePath(QStringLiteral("paper.html")))
                .contains("(10\xb7\xd6)\xd0\xa6&#128512;&#131072;&#65279;</TD>"));
}

void TestPaperWriter::rewriteGivesSameFile() {
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    const int q = m_bank->addQuestion(pap, 1, kMulti, 10, QStringLiteral("a"));
    m_bank->addChoices(q, 3, {1, 3});
    const QString path = m_dir->filePath(QStringLiteral("paper.html"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    write(pap, QStringLiteral("p"), QStringLiteral("10"));
    const QByteArray first = readFile(path);
    write(pap, QStringLiteral("p"), QStringLiteral("10"));
    QCOMPARE(readFile(path), first);
    QVERIFY(!first.contains(QByteArray(11, 'x')));
}

void TestPaperWriter::refusals_data() {
    QTest::addColumn<QString>("fullMark");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty full mark")
        << QString() << QStringLiteral("old.html") << QStringLiteral("试卷的满分为空");
    QTest::newRow("full mark no number")
        << QStringLiteral("十") << QStringLiteral("old.html") << QStringLiteral("不是整数");
    QTest::newRow("missing folder") << QStringLiteral("10") << QStringLiteral("none/old.html")
                                    << QStringLiteral("无法写入试卷文件");
}

void TestPaperWriter::refusals() {
    QFETCH(QString, fullMark);
    QFETCH(QString, file);
    QFETCH(QString, message);
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    m_bank->addQuestion(pap, 1, kTF, 10, QStringLiteral("a"));
    const QString path = m_dir->filePath(file);
    QFile old(m_dir->filePath(QStringLiteral("old.html")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("earlier page");
    old.close();

    try {
        writePaperPage(m_bank->conn, PageSource{pap, QStringLiteral("p"), fullMark}, path);
        QFAIL("the writer accepted the paper");
    } catch (const GenerateError& e) {
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(readFile(m_dir->filePath(QStringLiteral("old.html"))), QByteArray("earlier page"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("none"))));
}

// Pages of the awkward papers as the writer wrote them when it still walked
// the question and choice tables with a cursor each, kept under golden/ with
// the grader script standing as one line "@grader.js@". Any byte that differs
// is a change the teacher's pages would show.
void TestPaperWriter::keptPages_data() {
    QTest::addColumn<bool>("loose");
    QTest::addColumn<int>("papId");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fullMark");
    QTest::addColumn<QString>("file");
    QTest::newRow("awkward paper") << false << 1 << QStringLiteral("综合<b>卷</b>")
                                   << QStringLiteral("100") << QStringLiteral("awkward.htm");
    QTest::newRow("paper beside it") << false << 2 << QStringLiteral("别的卷")
                                     << QStringLiteral(" 10") << QStringLiteral("other.htm");
    QTest::newRow("paper without questions") << false << 3 << QStringLiteral("空卷")
                                             << QStringLiteral("7") << QStringLiteral("empty.htm");
    QTest::newRow("paper that is not there")
        << false << 4 << QString() << QStringLiteral("-1") << QStringLiteral("none.htm");
    QTest::newRow("fraction identifiers, loose types")
        << true << 1 << QStringLiteral("宽松卷") << QStringLiteral("10")
        << QStringLiteral("loose.htm");
    QTest::newRow("text choice identifiers")
        << true << 2 << QStringLiteral("文本编号") << QStringLiteral("5")
        << QStringLiteral("loosetext.htm");
}

void TestPaperWriter::keptPages() {
    QFETCH(bool, loose);
    QFETCH(int, papId);
    QFETCH(QString, name);
    QFETCH(QString, fullMark);
    QFETCH(QString, file);
    const QString looseBank = m_dir->filePath(QStringLiteral("loose.mdb"));
    if (loose)
        makeLooseBank(looseBank);
    else
        fillAwkwardPapers(*m_bank);
    QVERIFY(!QTest::currentTestFailed());
    QByteArray expected = readFile(QStringLiteral(TESS_GOLDEN_DIR "/") + file);
    QVERIFY2(expected.count("@grader.js@") == 1, qPrintable(file));
    expected.replace("@grader.js@",
                     encodePageText(graderScriptLines().join(QStringLiteral("\r\n"))));
    const QString path = m_dir->filePath(file);
    if (loose)
        writePaperPage(banktest::BankConnection(looseBank), PageSource{papId, name, fullMark},
                       path);
    else
        writePaperPage(m_bank->conn, PageSource{papId, name, fullMark}, path);
    const QByteArray bytes = readFile(path);
    if (bytes != expected) {
        const QList<QByteArray> got = bytes.split('\n');
        const QList<QByteArray> want = expected.split('\n');
        for (qsizetype i = 0; i < qMin(got.size(), want.size()); ++i)
            QCOMPARE(got.at(i), want.at(i));
    }
    QCOMPARE(bytes, expected);
}

// A publish killed at each point of the page's write: the page is the earlier
// one or the complete new one, never empty or cut short; the next write of the
// page clears what the kill left beside it. A 200 KB page is written in steps.
void TestPaperWriter::killedWrite_data() {
    killdrill::addStageRows();
}

void TestPaperWriter::killedWrite() {
    QFETCH(QString, stage);
    QFETCH(bool, newContent);
    const int pap = m_bank->addPaper(QStringLiteral("p"), 10);
    QCOMPARE(pap, 1);
    m_bank->addQuestion(pap, 1, kTF, 10, QString(100000, QChar(u'题')));
    const QString folder = m_dir->filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(folder));
    const QString page = folder + QStringLiteral("/paper.html");
    write(pap, QStringLiteral("p"), QStringLiteral("10"), QStringLiteral("out/paper.html"));
    const QByteArray expected = readFile(page);
    QVERIFY(expected.size() > 200000);
    const QByteArray old = "<HTML>earlier page</HTML>\r\n";
    QFile earlier(page);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    QCOMPARE(earlier.write(old), old.size());
    earlier.close();

    QCOMPARE(killdrill::killAt(stage, {m_dir->filePath(QStringLiteral("bank.mdb")), page}), stage);
    QCOMPARE(readFile(page), newContent ? expected : old);
    const QStringList left =
        QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("paper.html."));
    const QRegularExpression leftover(QStringLiteral("^paper\\.html\\.tess-[A-Za-z0-9]{6}$"));
    for (const QString& name : left)
        QVERIFY2(leftover.match(name).hasMatch(), qPrintable(name));
    QCOMPARE(left.size(), newContent ? 0 : 1);

    write(pap, QStringLiteral("p"), QStringLiteral("10"), QStringLiteral("out/paper.html"));
    QCOMPARE(readFile(page), expected);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("paper.html")});
}

namespace {

// The child of killedWrite(): writes the page of paper 1 of the given bank.
int writePaperOne(const QStringList& args) {
    try {
        banktest::BankConnection conn(args.value(0));
        writePaperPage(conn, PageSource{1, QStringLiteral("p"), QStringLiteral("10")},
                       args.value(1));
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}

} // namespace

QTEST_MAIN_WRAPPER(TestPaperWriter,
                   if (int code = 0;
                       killdrill::runChildIfAsked(argc, argv, writePaperOne, code)) return code;
                   QTEST_QAPP_SETUP(QCoreApplication))
#include "tst_paperwriter.moc"
