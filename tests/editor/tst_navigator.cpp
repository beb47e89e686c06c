// The paper navigator and the record numbering in the real main window.
#include "editorfixture.h"
#include "store/tablecursor.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <sqlite3.h>

using tess::Prompts;

class TestNavigator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyBank();
    void openFillsNavigator();
    void selectingAnEntry();
    void failedSelectionGoesBack();
    void refillKeepsSelectedPaper();
    void categoryFilter_data();
    void categoryFilter();
    void categoryWhosePapersAreGone();
    void informationTooltips();
    void newPaperNumbersAndCategory_data();
    void newPaperNumbersAndCategory();
    void deletedTopPaperIdentifierReused();
    void newQuestionAndChoice();
    void clashWithAnotherProgram();
    void ctrlGDeletesOnlyInTheList_data();
    void ctrlGDeletesOnlyInTheList();
    void popupMenu();
};

void TestNavigator::emptyBank() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    QCOMPARE(categories(form), QStringList{QStringLiteral("所有试卷")});
    QCOMPARE(form.PaperListModel->rowCount(), 0);
    QCOMPARE(selectedRow(form), -1);
    QCOMPARE(form.CurPapID, -1);
    QVERIFY(!form.OnDelPaper->isEnabled());
    QVERIFY(!form.OnAddQustion->isEnabled());
    QVERIFY(!form.DBGridQuestion->isEnabled());
    QCOMPARE(form.DBText1->text(), QString());
    QCOMPARE(form.NextPapID, 1);
}

void TestNavigator::openFillsNavigator() {
    EditorBank bank;
    auto setup = bank.setupRows();
    // Out of order on purpose: the list follows the identifiers.
    bank.paper(7, QStringLiteral("期末"), QStringLiteral("数学"), 120,
               QStringLiteral("/out/期末.html"));
    bank.paper(2, QStringLiteral("单元一"), QStringLiteral("语文"));
    bank.paper(4, QStringLiteral("无类别"));
    bank.paper(5, QStringLiteral("空类别"), QStringLiteral(""));
    bank.paper(3, QStringLiteral("单元二"), QStringLiteral("数学"));
    bank.question(1, 2, 1);
    setup.commit();
    TMainForm form;
    openBank(form);

    const QStringList shown = categories(form);
    QCOMPARE(shown.value(0), QStringLiteral("所有试卷"));
    QCOMPARE(shown.size(), 3);
    QVERIFY(shown.contains(QStringLiteral("数学")) && shown.contains(QStringLiteral("语文")));
    QCOMPARE(form.CBPaperClass->currentIndex(), 0);
    QVERIFY(!form.CBPaperClass->isEditable());

    QCOMPARE(listIds(form), (QList<int>{2, 3, 4, 5, 7}));
    QCOMPARE(listNames(form).value(0), QStringLiteral("单元一"));
    QCOMPARE(selectedRow(form), 0);
    QCOMPARE(form.CurPapID, 2);
    QCOMPARE(form.TPaper.asInteger(QStringLiteral("PapID")), 2);
    QCOMPARE(form.TQuestion.filter(), QStringLiteral("PapIdx = 2"));
    QCOMPARE(form.TQuestion.recordCount(), 1);
    QVERIFY(form.OnDelPaper->isEnabled());
    QVERIFY(form.OnAddQustion->isEnabled());
    QVERIFY(form.DBGridQuestion->isEnabled());
    QCOMPARE(form.DBText1->text(), QStringLiteral("单元一"));
    QCOMPARE(form.DBText2->text(), QStringLiteral("100"));
    // The list never edits its entries in place.
    QCOMPARE(form.ListView->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(form.PaperListModel->flags(form.PaperListModel->index(0)) & Qt::ItemIsEditable));
}

void TestNavigator::selectingAnEntry() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"), QVariant(), 80, QStringLiteral("/out/乙.html"));
    bank.question(10, 2, 1);
    bank.question(11, 2, 2);
    setup.commit();
    TMainForm form;
    openBank(form);

    clickRow(form, 1);
    QCOMPARE(selectedRow(form), 1);
    QCOMPARE(form.CurPapID, 2);
    QCOMPARE(form.TPaper.asString(QStringLiteral("PapNam")), QStringLiteral("乙"));
    QCOMPARE(form.TQuestion.filter(), QStringLiteral("PapIdx = 2"));
    QCOMPARE(form.TQuestion.recordCount(), 2);
    QCOMPARE(form.DBText1->text(), QStringLiteral("乙"));
    QCOMPARE(form.DBText2->text(), QStringLiteral("80"));
    QCOMPARE(form.DBText3->text(), QStringLiteral("/out/乙.html"));

    // The keyboard moves the selection too.
    form.ListView->setFocus();
    QTest::keyClick(form.ListView, Qt::Key_Up);
    QCOMPARE(form.CurPapID, 1);
    QCOMPARE(form.TQuestion.recordCount(), 0);
}

// Another program holding the bank makes reading the new paper's questions
// fail: the list, the paper cursor and CurPapID stay on the paper before, so
// no command acts on a paper other than the one shown.
void TestNavigator::failedSelectionGoesBack() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.question(10, 2, 1);
    setup.commit();
    TMainForm form;
    openBank(form);
    QCOMPARE(form.CurPapID, 1);
    form.Conn.setBusyTimeout(50);

    sqlite3* holder = nullptr;
    QCOMPARE(sqlite3_open(TMainForm::PaperBankPath().toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    clickRow(form, 1);
    sqlite3_close(holder);

    QVERIFY(form.MessageArea->toPlainText().startsWith(QStringLiteral("程序运行错误:")));
    QCOMPARE(form.MessageArea->toPlainText().count(QStringLiteral("程序运行错误:")), 1);
    QCOMPARE(selectedRow(form), 0);
    QCOMPARE(form.CurPapID, 1);
    QCOMPARE(form.TPaper.asInteger(QStringLiteral("PapID")), 1);
    QCOMPARE(form.DBText1->text(), QStringLiteral("甲"));

    clickRow(form, 1);
    QCOMPARE(form.CurPapID, 2);
    QCOMPARE(form.TQuestion.recordCount(), 1);
}

void TestNavigator::refillKeepsSelectedPaper() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    setup.commit();
    TMainForm form;
    openBank(form);
    QCOMPARE(form.CurPapID, 1);
    // Another program adds a question and a paper meanwhile.
    bank.question(5, 1, 1);
    bank.paper(3, QStringLiteral("丙"));

    form.RefreshPaperList();
    QCOMPARE(form.CurPapID, 1);
    QCOMPARE(form.TQuestion.filter(), QStringLiteral("PapIdx = 1"));
    QCOMPARE(form.TQuestion.recordCount(), 1); // read afresh
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3}));
    QCOMPARE(selectedRow(form), 0);
}

void TestNavigator::categoryFilter_data() {
    QTest::addColumn<QString>("category");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("plain") << QStringLiteral("数学") << QList<int>{1, 4};
    QTest::newRow("quote") << QStringLiteral("O'Neil's") << QList<int>{2};
    QTest::newRow("blanks") << QStringLiteral(" 期 中 ") << QList<int>{3};
    QTest::newRow("outside GBK") << QStringLiteral("化学😀") << QList<int>{5};
    // A category of that very text cannot filter: it shows all papers.
    QTest::newRow("named like all papers")
        << QStringLiteral("所有试卷") << QList<int>{1, 2, 3, 4, 5, 6};
}

void TestNavigator::categoryFilter() {
    QFETCH(QString, category);
    QFETCH(QList<int>, shown);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("a"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("b"), QStringLiteral("O'Neil's"));
    bank.paper(3, QStringLiteral("c"), QStringLiteral(" 期 中 "));
    bank.paper(4, QStringLiteral("d"), QStringLiteral("数学"));
    bank.paper(5, QStringLiteral("e"), QStringLiteral("化学😀"));
    bank.paper(6, QStringLiteral("f"), QStringLiteral("所有试卷"));
    setup.commit();
    TMainForm form;
    openBank(form);

    pickCategory(form, category);
    QCOMPARE(listIds(form), shown);
    QCOMPARE(form.CurPapID, shown.first());
    QCOMPARE(selectedRow(form), 0);
    QVERIFY(form.MessageArea->toPlainText().isEmpty());

    // Back to all papers.
    pickCategory(form, QStringLiteral("所有试卷"));
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3, 4, 5, 6}));
}

void TestNavigator::categoryWhosePapersAreGone() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("语文"));
    setup.commit();
    TMainForm form;
    openBank(form);
    pickCategory(form, QStringLiteral("语文"));
    QCOMPARE(form.CurPapID, 2);
    Prompts::instance().queueYesNo(true);
    form.OnDelPaper->trigger();
    QCOMPARE(form.PaperListModel->rowCount(), 0);
    QVERIFY(!form.OnDelPaper->isEnabled());
    QVERIFY(!form.OnAddQustion->isEnabled());
    QVERIFY(!form.DBGridQuestion->isEnabled());
    QCOMPARE(form.CurPapID, 2); // keeps the paper selected last

    // Stays offered until the categories are rebuilt; picking it shows nothing.
    QVERIFY(categories(form).contains(QStringLiteral("语文")));
    pickCategory(form, QStringLiteral("数学"));
    QCOMPARE(listIds(form), QList<int>{1});
    pickCategory(form, QStringLiteral("语文"));
    QCOMPARE(form.PaperListModel->rowCount(), 0);
    QVERIFY(!form.OnDelPaper->isEnabled());
    QCOMPARE(form.CurPapID, 1);

    form.RefreshPaperClasses();
    QVERIFY(!categories(form).contains(QStringLiteral("语文")));
}

void TestNavigator::informationTooltips() {
    EditorBank bank;
    const QString name = QString(300, QChar(0x9898)) + QStringLiteral("尾");
    const QString path = QStringLiteral("/a/very/long/path/") + QString(200, QLatin1Char('x')) +
                         QStringLiteral(".html");
    bank.paper(1, name, QVariant(), 100, path);
    TMainForm form;
    openBank(form);
    QCOMPARE(listNames(form).value(0), name);
    for (QLabel* label : {form.DBText1, form.DBText3}) {
        QVERIFY(label->width() < label->sizeHint().width()); // cut by the pane
        QTest::mouseMove(label, QPoint(5, 5));
        QTRY_COMPARE(label->toolTip(), label->text());
    }
    QCOMPARE(form.DBText1->toolTip(), name);
    QCOMPARE(form.DBText3->toolTip(), path);
}

// The values a new paper receives, under all papers and under a category.
void TestNavigator::newPaperNumbersAndCategory_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all papers") << QStringLiteral("所有试卷") << QStringLiteral("缺省类别");
    QTest::newRow("a category") << QStringLiteral("O'Neil's") << QStringLiteral("O'Neil's");
}

void TestNavigator::newPaperNumbersAndCategory() {
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("O'Neil's"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("数学"));
    setup.commit();
    TMainForm form;
    form.Defaults.fullMark = 150;
    form.Defaults.name = QStringLiteral("新试卷");
    form.Defaults.outputFile = QStringLiteral("/out/new.html");
    form.Defaults.category = QStringLiteral("缺省类别");
    openBank(form);
    pickCategory(form, chosen);

    form.OnNewPaper->trigger();
    QVERIFY(form.MessageArea->toPlainText().isEmpty());
    QCOMPARE(
        bank.scalar(QStringLiteral("select PapCtg as v from paper where PapID = 3")).toString(),
        expected);
    QCOMPARE(
        bank.scalar(QStringLiteral("select PapNam as v from paper where PapID = 3")).toString(),
        QStringLiteral("新试卷"));
    QCOMPARE(bank.scalar(QStringLiteral("select PapScr as v from paper where PapID = 3")).toInt(),
             150);
    QCOMPARE(
        bank.scalar(QStringLiteral("select PapSav as v from paper where PapID = 3")).toString(),
        QStringLiteral("/out/new.html"));
    // Shown and selected at the end of the list.
    QCOMPARE(listIds(form).last(), 3);
    QCOMPARE(selectedRow(form), form.PaperListModel->rowCount() - 1);
    QCOMPARE(form.CurPapID, 3);
    QCOMPARE(form.DBText1->text(), QStringLiteral("新试卷"));
}

void TestNavigator::deletedTopPaperIdentifierReused() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.paper(3, QStringLiteral("丙"));
    bank.question(1, 3, 1);
    bank.question(2, 3, 2);
    bank.choice(1, 1, 1);
    setup.commit();
    TMainForm form;
    openBank(form);
    clickRow(form, 2);
    QCOMPARE(form.CurPapID, 3);
    Prompts::instance().queueYesNo(true);
    form.OnDelPaper->trigger();
    QCOMPARE(bank.count(QStringLiteral("question")), 2); // orphans stay until the next new record

    form.OnNewPaper->trigger();
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3}));
    // The old paper's questions went before the new paper was stored;
    // their choice goes with the run after.
    QCOMPARE(bank.count(QStringLiteral("question")), 0);
    QCOMPARE(form.TQuestion.recordCount(), 0);
    QCOMPARE(bank.count(QStringLiteral("choice")), 1);
    form.RefreshNextIDs();
    QCOMPARE(bank.count(QStringLiteral("choice")), 0);
}

void TestNavigator::newQuestionAndChoice() {
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
    QCOMPARE(form.CurQstID, 4); // the first question became current

    // The question grid's add command starts its records like this.
    form.TQuestion.insert();
    QCOMPARE(form.TQuestion.asInteger(QStringLiteral("QstID")), 7);
    QCOMPARE(form.TQuestion.asInteger(QStringLiteral("PapIdx")), 2);
    QCOMPARE(form.TQuestion.asInteger(QStringLiteral("QstIdx")), 8);
    QCOMPARE(form.TQuestion.asString(QStringLiteral("QstTyp")), QStringLiteral("判断题"));
    QCOMPARE(form.CurQstID, 7); // starting it moved onto it
    form.TQuestion.post();

    form.OnDelChoice->setEnabled(false);
    form.TChoice.insert();
    QCOMPARE(form.TChoice.asInteger(QStringLiteral("ChcID")), 10);
    QCOMPARE(form.TChoice.asInteger(QStringLiteral("QstIdx")), 7);
    QCOMPARE(form.TChoice.asInteger(QStringLiteral("ChcIdx")), 1); // the new question has none
    QVERIFY(form.OnDelChoice->isEnabled());
    form.TChoice.post();
    QCOMPARE(bank.count(QStringLiteral("choice where QstIdx = 7 and ChcIdx = 1")), 1);
}

// Two programs on one bank: the record posted second takes the next free identifier.
void TestNavigator::clashWithAnotherProgram() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    TMainForm form;
    openBank(form);
    form.TPaper.insert();
    QCOMPARE(form.TPaper.asInteger(QStringLiteral("PapID")), 2);
    form.TPaper.setString(QStringLiteral("PapNam"), QStringLiteral("本程序的"));
    bank.paper(2, QStringLiteral("另一个程序的"));
    form.TPaper.post();
    form.TPaper.close();
    form.RefreshPaperList();
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3}));
    QCOMPARE(listNames(form).value(2), QStringLiteral("本程序的"));
}

void TestNavigator::ctrlGDeletesOnlyInTheList_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("papersLeft");
    QTest::newRow("list, yes") << QStringLiteral("list") << true << 1;
    QTest::newRow("list, no") << QStringLiteral("list") << false << 2;
    QTest::newRow("category filter") << QStringLiteral("filter") << true << 2;
    QTest::newRow("message area") << QStringLiteral("messages") << true << 2;
}

void TestNavigator::ctrlGDeletesOnlyInTheList() {
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
    QWidget* target = form.MessageArea;
    if (where == QStringLiteral("list"))
        target = form.ListView;
    else if (where == QStringLiteral("filter"))
        target = form.CBPaperClass;
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
    QCOMPARE(form.PaperListModel->rowCount(), papersLeft);
}

void TestNavigator::popupMenu() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    QMenu* menu = form.PopupMenuOf(form.ListView);
    QVERIFY(menu);
    QStringList names;
    for (const QAction* a : menu->actions())
        names << (a->isSeparator() ? QStringLiteral("—") : a->objectName());
    QCOMPARE(names.join(QLatin1Char(' ')),
             QStringLiteral("OnNewPaper — OnDelPaper OnDelAllQuestion — OnGenPaper OnEditPaper — "
                            "OnPrintPreview OnPrint OnExportPdf"));
}

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
