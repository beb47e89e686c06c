// The navigator in the real main window: the question side following the
// list, the numbering of questions and choices the grids start, and the keys
// and pop-up menu the window routes to the paper commands.
#include "editorfixture.h"
#include "store/tablecursor.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

using tess::Prompts;

class TestNavigatorWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void questionSideFollowsTheList_data();
    void questionSideFollowsTheList();
    void newQuestionAndChoice();
    void ctrlGDeletesOnlyInTheList_data();
    void ctrlGDeletesOnlyInTheList();
    void popupMenu();
    void deleteAllQuestionsTwice();
};

// The question grid and its add command are offered while the list has entries.
void TestNavigatorWindow::questionSideFollowsTheList_data() {
    QTest::addColumn<bool>("papers");
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("offered");
    QTest::newRow("empty bank") << false << QString() << false;
    QTest::newRow("papers") << true << QString() << true;
    QTest::newRow("the category's last paper deleted")
        << true << QStringLiteral("delete paper") << false;
    QTest::newRow("all papers deleted") << true << QStringLiteral("delete all") << false;
    QTest::newRow("all papers kept") << true << QStringLiteral("keep all") << true;
}

void TestNavigatorWindow::questionSideFollowsTheList() {
    QFETCH(bool, papers);
    QFETCH(QString, step);
    QFETCH(bool, offered);
    EditorBank bank;
    if (papers) {
        auto setup = bank.setupRows();
        bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
        bank.paper(2, QStringLiteral("乙"), QStringLiteral("语文"));
        setup.commit();
    }
    TMainForm form;
    openBank(form);
    if (step == QStringLiteral("delete paper")) {
        pickCategory(form, QStringLiteral("语文"));
        Prompts::instance().queueYesNo(true);
        form.OnDelPaper->trigger();
    } else if (!step.isEmpty()) {
        Prompts::instance().queueYesNo(step == QStringLiteral("delete all"));
        form.OnDelAllPaper->trigger();
    }
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
    QCOMPARE(form.navigator().PaperListModel->rowCount() > 0, offered);
    QCOMPARE(form.OnAddQustion->isEnabled(), offered);
    QCOMPARE(part<QWidget>(form, "DBGridQuestion")->isEnabled(), offered);
}

void TestNavigatorWindow::newQuestionAndChoice() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.question(4, 2, 1);
    bank.question(5, 2, 2);
    bank.question(6, 2, 7);
    bank.choice(9, 6, 3);
    setup.commit();
    TMainForm form;
    openBank(form);
    clickRow(form, 1);
    QCOMPARE(form.bank().CurQstID, 4); // the first question became current

    // The question grid's add command starts its records like this.
    form.bank().TQuestion.insert();
    QCOMPARE(form.bank().TQuestion.asInteger(QStringLiteral("QstID")), 7);
    QCOMPARE(form.bank().TQuestion.asInteger(QStringLiteral("PapIdx")), 2);
    QCOMPARE(form.bank().TQuestion.asInteger(QStringLiteral("QstIdx")), 8);
    QCOMPARE(form.bank().TQuestion.asString(QStringLiteral("QstTyp")), QStringLiteral("判断题"));
    QCOMPARE(form.bank().CurQstID, 7); // starting it moved onto it
    form.bank().TQuestion.post();

    form.OnDelChoice->setEnabled(false);
    form.bank().TChoice.insert();
    QCOMPARE(form.bank().TChoice.asInteger(QStringLiteral("ChcID")), 10);
    QCOMPARE(form.bank().TChoice.asInteger(QStringLiteral("QstIdx")), 7);
    QCOMPARE(form.bank().TChoice.asInteger(QStringLiteral("ChcIdx")),
             1); // the new question has none
    QVERIFY(form.OnDelChoice->isEnabled());
    form.bank().TChoice.post();
    QCOMPARE(bank.count(QStringLiteral("choice where QstIdx = 7 and ChcIdx = 1")), 1);
}

void TestNavigatorWindow::ctrlGDeletesOnlyInTheList_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("papersLeft");
    QTest::newRow("list, yes") << QStringLiteral("list") << true << 1;
    QTest::newRow("list, no") << QStringLiteral("list") << false << 2;
    QTest::newRow("category filter") << QStringLiteral("filter") << true << 2;
    QTest::newRow("name filter") << QStringLiteral("name filter") << true << 2;
    QTest::newRow("message area") << QStringLiteral("messages") << true << 2;
}

void TestNavigatorWindow::ctrlGDeletesOnlyInTheList() {
    QFETCH(QString, where);
    QFETCH(bool, answer);
    QFETCH(int, papersLeft);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    setup.commit();
    TMainForm form;
    openBank(form);
    form.activateWindow();
    QWidget* target = messageArea(form);
    if (where == QStringLiteral("list"))
        target = form.navigator().ListView;
    else if (where == QStringLiteral("filter"))
        target = form.navigator().CBPaperClass;
    else if (where == QStringLiteral("name filter"))
        target = form.navigator().EditPaperFilter;
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    const bool inList = where == QStringLiteral("list");
    if (inList)
        Prompts::instance().queueYesNo(answer);
    QTest::keyClick(target, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(bank.count(QStringLiteral("paper")), papersLeft);
    QCOMPARE(Prompts::instance().shownTexts().size(), inList ? 1 : 0);
    if (inList)
        QCOMPARE(Prompts::instance().shownTexts().value(0),
                 QStringLiteral("删除当前试卷操作一旦被执行将不可恢复，真的要删除当前试卷吗？"));
    QCOMPARE(form.navigator().PaperListModel->rowCount(), papersLeft);
}

void TestNavigatorWindow::popupMenu() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    QMenu* menu = form.PopupMenuOf(form.navigator().ListView);
    QVERIFY(menu);
    QStringList names;
    for (const QAction* a : menu->actions())
        names << (a->isSeparator() ? QStringLiteral("—") : a->objectName());
    QCOMPARE(names.join(QLatin1Char(' ')),
             QStringLiteral(
                 "OnNewPaper OnCopyPaper — OnDelPaper OnDelAllQuestion — OnGenPaper OnEditPaper — "
                 "OnPrintPreview OnPrint OnExportPdf"));
}

// Shift+Del in the list reaches the command through the window.
void TestNavigatorWindow::deleteAllQuestionsTwice() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.question(1, 1, 1);
    bank.question(2, 1, 2);
    bank.question(3, 2, 1);
    bank.choice(1, 1, 1);
    setup.commit();
    TMainForm form;
    openBank(form);
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);

    form.navigator().ListView->setFocus();
    QTest::keyClick(form.navigator().ListView, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 1")), 0);
    QVERIFY(form.bank().TQuestion.isOpen());
    QCOMPARE(form.bank().TQuestion.recordCount(), 0);
    form.OnDelAllQuestion->trigger();
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QCOMPARE(bank.count(QStringLiteral("question")), 1); // the other paper's
    QCOMPARE(bank.count(QStringLiteral("choice")), 1);   // until the trim
    QCOMPARE(listIds(form), (QList<int>{1, 2}));
}

QTEST_MAIN(TestNavigatorWindow)
#include "tst_navigatorwindow.moc"
