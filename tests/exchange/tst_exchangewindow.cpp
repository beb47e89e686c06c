// The File menu's export and import in the real main window.
#include "editor/editorfixture.h"
#include "frame/prompts.h"

#include <QAction>
#include <QMenu>
#include <QTest>

class TestExchangeWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { tess::Prompts::instance().clear(); }
    void menuEntries();
    void exportThenImport();
    void tooLargePictureRefusedOnExport();
    void brokenFileLeavesBank();
    void picturesThatWillNotShowAreTold();
    void removedScriptsAreTold();
    void interruptedImportSettledAtSignIn();
    void copyPaper();
    void failedCopyLeavesBank();
};

namespace {

QAction* command(TMainForm& form, const char* name) {
    return form.findChild<QAction*>(QString::fromLatin1(name));
}

void fill(EditorBank& bank) {
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中"), QStringLiteral("数学"));
    bank.question(1, 1, 1);
    setup.commit();
}

} // namespace

void TestExchangeWindow::menuEntries() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty()) {
        form.MenuFile->popup(form.mapToGlobal(QPoint(10, 30)));
        QVERIFY(QTest::qWaitForWindowExposed(form.MenuFile));
        form.MenuFile->grab().save(dir + QStringLiteral("/file-menu.png"));
        form.MenuFile->close();
    }
    QStringList texts;
    for (QAction* action : form.MenuFile->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{QStringLiteral("新建试卷(&D)"), QStringLiteral("导入题目..."),
                                 QStringLiteral("导出为 Moodle XML..."), QString(),
                                 QStringLiteral("打印预览..."), QStringLiteral("打印..."),
                                 QStringLiteral("导出 PDF..."), QString(),
                                 form.MenuFile->actions().last()->text()}));
}

void TestExchangeWindow::exportThenImport() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    const QString xml = bank.dir.filePath(QStringLiteral("期中.xml"));
    tess::Prompts::instance().queueFile(xml);
    command(form, "OnExportMoodle")->trigger();
    QVERIFY2(messageArea(form)->toPlainText().contains(QStringLiteral("已导出到")),
             qPrintable(messageArea(form)->toPlainText()));
    QVERIFY(QFileInfo(xml).size() > 0);

    // An imported paper is a new paper: it takes the default page style.
    form.bank().Defaults.pageStyle = tess::PageStyle::Phone;
    tess::Prompts::instance().queueFile(xml);
    command(form, "OnImportQuestions")->trigger();
    QVERIFY2(
        messageArea(form)->toPlainText().contains(QStringLiteral("导入了试卷 \"期中\" (1 道题)")),
        qPrintable(messageArea(form)->toPlainText()));
    QCOMPARE(bank.column(QStringLiteral("paper_style"), QStringLiteral("PapID || '|' || style"),
                         QStringLiteral("PapID")),
             QStringList{QStringLiteral("2|1")});
    QCOMPARE(listIds(form), (QList<int>{1, 2}));
    QCOMPARE(selectedRow(form), 1);
    QCOMPARE(form.bank().CurPapID, 2);
    QCOMPARE(form.bank().TQuestion.recordCount(), 1);
    QCOMPARE(bank.count(QStringLiteral("paper where PapCtg = '数学'")), 2);
}

// A picture larger than the import reads ends the export with a message
// naming it and saying what to do; the earlier file stays as it was.
void TestExchangeWindow::tooLargePictureRefusedOnExport() {
    EditorBank bank;
    {
        auto setup = bank.setupRows();
        bank.paper(1, QStringLiteral("期中"), QStringLiteral("数学"));
        bank.sql(
            QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstCon) "
                           "values (1, 1, 1, '判断题', '看图<IMG SRC=\"images\\大图.png\">')"));
        setup.commit();
    }
    const QString pictures = tess::ProgramFiles::PicturesFolder();
    QVERIFY(QDir().mkpath(pictures));
    QFile picture(pictures + QStringLiteral("/大图.png"));
    QVERIFY(picture.open(QIODevice::WriteOnly) && picture.resize(qint64(40) << 20));
    picture.close();
    const QString xml = bank.dir.filePath(QStringLiteral("期中.xml"));
    QFile earlier(xml);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();

    TMainForm form;
    openBank(form);
    tess::Prompts::instance().queueFile(xml);
    command(form, "OnExportMoodle")->trigger();
    const QString said = messageArea(form)->toPlainText();
    for (const QString& part :
         {QStringLiteral("错误: 没有导出到"), QStringLiteral("大图.png"), QStringLiteral("40.0 MB"),
          QStringLiteral("32 MB"), QStringLiteral("缩小")})
        QVERIFY2(said.contains(part), qPrintable(said));
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier"));
}

void TestExchangeWindow::brokenFileLeavesBank() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    const QString aiken = bank.dir.filePath(QStringLiteral("坏.txt"));
    QFile file(aiken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("问题一\nA. 甲\nB. 乙\n");
    file.close();
    tess::Prompts::instance().queueFile(aiken);
    command(form, "OnImportQuestions")->trigger();
    QVERIFY2(messageArea(form)->toPlainText().contains(QStringLiteral("错误: 没有导入文件")),
             qPrintable(messageArea(form)->toPlainText()));
    QCOMPARE(bank.count(QStringLiteral("paper")), 1);
    QCOMPARE(listIds(form), QList<int>{1});
}

// A picture the pictures folder lacks is named in the message area, after
// the lines of the import; the paper is imported all the same.
void TestExchangeWindow::picturesThatWillNotShowAreTold() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    const QString gift = bank.dir.filePath(QStringLiteral("看图.gift"));
    QFile file(gift);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("::地图:: [html]<img src=\"images/地图.png\"> 这是中国地图吗? {T}\n");
    file.close();
    tess::Prompts::instance().queueFile(gift);
    command(form, "OnImportQuestions")->trigger();
    const QStringList lines = messageArea(form)->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("导入了试卷 \"看图\" (1 道题)."));
    QCOMPARE(lines[1],
             QStringLiteral("警告: 第 1 行的题目 \"地图\": 图片 images\\地图.png 不在图片文件夹 ") +
                 QDir::toNativeSeparators(tess::ProgramFiles::PicturesFolder()) +
                 QStringLiteral(" 中, 试卷里看不到它; 请把这幅图片放进这个文件夹, 或用 "
                                "\"插入图片文件\" 重新插入."));
    QCOMPARE(bank.scalar(QStringLiteral("select QstCon as v from question")).toString(),
             QStringLiteral("<IMG SRC=\"images\\地图.png\"> 这是中国地图吗?"));
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        form.grab().save(dir + QStringLiteral("/import-warning.png"));
}

// Scripts in a colleague's file: the message area says for the paper how
// many things went, and the bank holds the rest.
void TestExchangeWindow::removedScriptsAreTold() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    const QString gift = bank.dir.filePath(QStringLiteral("小测.gift"));
    QFile file(gift);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("$CATEGORY: 初二/期中\n\n::q:: [html]<p>地球是圆的<script>alert(1)</script>"
               "<b onclick\\=\"alert(2)\">吗</b></p> {T}\n");
    file.close();
    tess::Prompts::instance().queueFile(gift);
    command(form, "OnImportQuestions")->trigger();
    const QStringList lines = messageArea(form)->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines,
             (QStringList{
                 QStringLiteral("导入了试卷 \"期中\" (1 道题)."),
                 QStringLiteral("警告: 试卷 \"期中\": 为安全起见删除了 2 处脚本或不安全的内容.")}));
    QCOMPARE(bank.scalar(QStringLiteral("select QstCon as v from question")).toString(),
             QStringLiteral("<p>地球是圆的<b>吗</b></p>"));
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        form.grab().save(dir + QStringLiteral("/import-removed.png"));
}

// An import killed after its commit left a picture aside, one killed before
// its commit another: signing in moves the first in and takes the second away.
void TestExchangeWindow::interruptedImportSettledAtSignIn() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("导入的试卷"));
    bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstCon) values "
                            "(1, 1, 1, '<IMG SRC=\"images\\committed.png\">')"));
    setup.commit();
    const QString aside =
        tess::ProgramFiles::PicturesFolder() + QStringLiteral("/.import/a1B2c3/pictures");
    QVERIFY(QDir().mkpath(aside));
    for (const char* name : {"committed.png", "refused.png"}) {
        QFile file(aside + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name);
    }
    TMainForm form;
    openBank(form);
    QCOMPARE(QDir(tess::ProgramFiles::PicturesFolder())
                 .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("committed.png")});
}

// The paper list's pop-up copies the selected paper: its properties, its
// questions and choices with their flags, under new identifiers.
void TestExchangeWindow::copyPaper() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中"), QStringLiteral("数学"), 120,
               QStringLiteral("/out/q.html"));
    bank.paper(2, QStringLiteral("期末"));
    bank.question(1, 1, 1);
    bank.question(2, 1, 2);
    bank.sql(QStringLiteral("update question set QstTyp = '单选题', QstScr = 5, QstCon = "
                            "'<b>折射</b> <IMG SRC=\"images\\光.png\">' where QstID = 2"));
    bank.sql(QStringLiteral("update question set QstScr = 2, QstCon = '对吗', IsTrue = 1 where "
                            "QstID = 1"));
    bank.choice(1, 2, 1);
    bank.choice(2, 2, 2);
    bank.sql(QStringLiteral("update choice set ChcCon = '甲', IsTrue = 1 where ChcID = 1"));
    bank.sql(QStringLiteral("update choice set ChcCon = '乙', IsTrue = 0 where ChcID = 2"));
    bank.sql(QStringLiteral("insert into paper_style (PapID, style, shuffle_choices, "
                            "shuffle_questions, time_limit) values (1, 1, 1, 0, 20)"));
    setup.commit();
    TMainForm form;
    openBank(form);
    QVERIFY(form.PopMenuPaper->actions().contains(command(form, "OnCopyPaper")));
    QVERIFY(form.MenuEdit->actions().contains(command(form, "OnCopyPaper")));
    QVERIFY(command(form, "OnCopyPaper")->isEnabled());

    command(form, "OnCopyPaper")->trigger();
    QCOMPARE(messageArea(form)->toPlainText(),
             QStringLiteral("复制了试卷 \"期中\" (2 道题), 副本已选中."));
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3}));
    QCOMPARE(form.bank().CurPapID, 3);
    QCOMPARE(selectedRow(form), 2);
    QCOMPARE(
        bank.column(QStringLiteral("paper"),
                    QStringLiteral("PapNam || '|' || PapCtg || '|' || PapScr || '|' || PapSav"),
                    QStringLiteral("PapID"))
            .last(),
        QStringLiteral("期中（副本）|数学|120|/out/q.html"));
    // Published as the original is.
    QCOMPARE(bank.column(QStringLiteral("paper_style"),
                         QStringLiteral("PapID || '|' || style || '|' || shuffle_choices || '|' || "
                                        "shuffle_questions || '|' || time_limit"),
                         QStringLiteral("PapID")),
             (QStringList{QStringLiteral("1|1|1|0|20"), QStringLiteral("3|1|1|0|20")}));
    // The copies, by their texts; the original's rows stay as they were.
    QCOMPARE(bank.column(QStringLiteral("question"),
                         QStringLiteral("QstTyp || '|' || QstScr || '|' || QstCon || '|' || "
                                        "IsTrue"),
                         QStringLiteral("QstID"))
                 .mid(2),
             (QStringList{QStringLiteral("判断题|2|对吗|1"),
                          QStringLiteral("单选题|5|<b>折射</b> <IMG SRC=\"images\\光.png\">|0")}));
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 3")), 2);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 1")), 2);
    QCOMPARE(bank.column(QStringLiteral("choice"),
                         QStringLiteral("ChcIdx || '|' || ChcCon || '|' || IsTrue"),
                         QStringLiteral("ChcID"))
                 .mid(2),
             (QStringList{QStringLiteral("1|甲|1"), QStringLiteral("2|乙|0")}));
    QCOMPARE(bank.count(QStringLiteral("choice c join question q on q.QstID = c.QstIdx where "
                                       "q.PapIdx = 3")),
             2);
}

// A copy that the bank refuses half-way leaves nothing behind and says so.
void TestExchangeWindow::failedCopyLeavesBank() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中"));
    bank.question(1, 1, 1);
    bank.choice(1, 1, 1);
    bank.sql(QStringLiteral("update question set QstTyp = '单选题' where QstID = 1"));
    setup.commit();
    TMainForm form;
    openBank(form);
    {
        banktest::BankConnection conn(tess::ProgramFiles::PaperBankPath());
        banktest::refuseInserts(conn, QStringLiteral("choice"));
    }
    command(form, "OnCopyPaper")->trigger();
    QVERIFY2(messageArea(form)->toPlainText().contains(QStringLiteral("错误")),
             qPrintable(messageArea(form)->toPlainText()));
    QCOMPARE(bank.count(QStringLiteral("paper")), 1);
    QCOMPARE(bank.count(QStringLiteral("question")), 1);
    QCOMPARE(listIds(form), (QList<int>{1}));
    QCOMPARE(form.bank().CurPapID, 1);
}

QTEST_MAIN(TestExchangeWindow)
#include "tst_exchangewindow.moc"
