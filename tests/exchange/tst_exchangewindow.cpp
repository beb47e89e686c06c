// The File menu's export and import in the real main window.
#include "app/prompts.h"
#include "editor/editorfixture.h"

#include <QAction>
#include <QMenu>
#include <QTest>

class TestExchangeWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { tess::Prompts::instance().clear(); }
    void menuEntries();
    void exportThenImport();
    void brokenFileLeavesBank();
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
    QVERIFY2(form.MessageArea->toPlainText().contains(QStringLiteral("已导出到")),
             qPrintable(form.MessageArea->toPlainText()));
    QVERIFY(QFileInfo(xml).size() > 0);

    tess::Prompts::instance().queueFile(xml);
    command(form, "OnImportQuestions")->trigger();
    QVERIFY2(
        form.MessageArea->toPlainText().contains(QStringLiteral("导入了试卷 \"期中\" (1 道题)")),
        qPrintable(form.MessageArea->toPlainText()));
    QCOMPARE(listIds(form), (QList<int>{1, 2}));
    QCOMPARE(selectedRow(form), 1);
    QCOMPARE(form.CurPapID, 2);
    QCOMPARE(form.TQuestion.recordCount(), 1);
    QCOMPARE(bank.count(QStringLiteral("paper where PapCtg = '数学'")), 2);
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
    QVERIFY2(form.MessageArea->toPlainText().contains(QStringLiteral("错误: 没有导入文件")),
             qPrintable(form.MessageArea->toPlainText()));
    QCOMPARE(bank.count(QStringLiteral("paper")), 1);
    QCOMPARE(listIds(form), QList<int>{1});
}

QTEST_MAIN(TestExchangeWindow)
#include "tst_exchangewindow.moc"
