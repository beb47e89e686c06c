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
    QCOMPARE(form.navigator().PaperListModel->rowCount(), 0);
    QCOMPARE(selectedRow(form), -1);
    QCOMPARE(form.bank().CurPapID, -1);
    QVERIFY(!form.OnDelPaper->isEnabled());
    QVERIFY(!form.OnAddQustion->isEnabled());
    QVERIFY(!part<QWidget>(form, "DBGridQuestion")->isEnabled());
    QCOMPARE(form.navigator().DBText1->text(), QString());
    QCOMPARE(form.bank().NextPapID, 1);
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
    QCOMPARE(form.navigator().CBPaperClass->currentIndex(), 0);
    QVERIFY(!form.navigator().CBPaperClass->isEditable());

    QCOMPARE(listIds(form), (QList<int>{2, 3, 4, 5, 7}));
    QCOMPARE(listNames(form).value(0), QStringLiteral("单元一"));
    QCOMPARE(selectedRow(form), 0);
    QCOMPARE(form.bank().CurPapID, 2);
    QCOMPARE(form.bank().TPaper.asInteger(QStringLiteral("PapID")), 2);
    QCOMPARE(form.bank().TQuestion.filter(), QStringLiteral("PapIdx = 2"));
    QCOMPARE(form.bank().TQuestion.recordCount(), 1);
    QVERIFY(form.OnDelPaper->isEnabled());
    QVERIFY(form.OnAddQustion->isEnabled());
    QVERIFY(part<QWidget>(form, "DBGridQuestion")->isEnabled());
    QCOMPARE(form.navigator().DBText1->text(), QStringLiteral("单元一"));
    QCOMPARE(form.navigator().DBText2->text(), QStringLiteral("100"));
    // The list never edits its entries in place.
    QCOMPARE(form.navigator().ListView->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(form.navigator().PaperListModel->flags(form.navigator().PaperListModel->index(0)) & Qt::ItemIsEditable));
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
    QCOMPARE(form.bank().CurPapID, 2);
    QCOMPARE(form.bank().TPaper.asString(QStringLiteral("PapNam")), QStringLiteral("乙"));
    QCOMPARE(form.bank().TQuestion.filter(), QStringLiteral("PapIdx = 2"));
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);
    QCOMPARE(form.navigator().DBText1->text(), QStringLiteral("乙"));
    QCOMPARE(form.navigator().DBText2->text(), QStringLiteral("80"));
    QCOMPARE(form.navigator().DBText3->text(), QStringLiteral("/out/乙.html"));

    // The keyboard moves the selection too.
    form.navigator().ListView->setFocus();
    QTest::keyClick(form.navigator().ListView, Qt::Key_Up);
    QCOMPARE(form.bank().CurPapID, 1);
    QCOMPARE(form.bank().TQuestion.recordCount(), 0);
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
    QCOMPARE(form.bank().CurPapID, 1);
    form.bank().Conn.setBusyTimeout(50);

    sqlite3* holder = nullptr;
    QCOMPARE(sqlite3_open(tess::ProgramFiles::PaperBankPath().toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    clickRow(form, 1);
    sqlite3_close(holder);

    QVERIFY(messageArea(form)->toPlainText().startsWith(QStringLiteral("程序运行错误:")));
    QCOMPARE(messageArea(form)->toPlainText().count(QStringLiteral("程序运行错误:")), 1);
    QCOMPARE(selectedRow(form), 0);
    QCOMPARE(form.bank().CurPapID, 1);
    QCOMPARE(form.bank().TPaper.asInteger(QStringLiteral("PapID")), 1);
    QCOMPARE(form.navigator().DBText1->text(), QStringLiteral("甲"));

    clickRow(form, 1);
    QCOMPARE(form.bank().CurPapID, 2);
    QCOMPARE(form.bank().TQuestion.recordCount(), 1);
}

void TestNavigator::refillKeepsSelectedPaper() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    setup.commit();
    TMainForm form;
    openBank(form);
    QCOMPARE(form.bank().CurPapID, 1);
    // Another program adds a question and a paper meanwhile.
    bank.question(5, 1, 1);
    bank.paper(3, QStringLiteral("丙"));

    form.navigator().RefreshPaperList();
    QCOMPARE(form.bank().CurPapID, 1);
    QCOMPARE(form.bank().TQuestion.filter(), QStringLiteral("PapIdx = 1"));
    QCOMPARE(form.bank().TQuestion.recordCount(), 1); // read afresh
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
    QCOMPARE(form.bank().CurPapID, shown.first());
    QCOMPARE(selectedRow(form), 0);
    QVERIFY(messageArea(form)->toPlainText().isEmpty());

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
    QCOMPARE(form.bank().CurPapID, 2);
    Prompts::instance().queueYesNo(true);
    form.OnDelPaper->trigger();
    QCOMPARE(form.navigator().PaperListModel->rowCount(), 0);
    QVERIFY(!form.OnDelPaper->isEnabled());
    QVERIFY(!form.OnAddQustion->isEnabled());
    QVERIFY(!part<QWidget>(form, "DBGridQuestion")->isEnabled());
    QCOMPARE(form.bank().CurPapID, 2); // keeps the paper selected last

    // Stays offered until the categories are rebuilt; picking it shows nothing.
    QVERIFY(categories(form).contains(QStringLiteral("语文")));
    pickCategory(form, QStringLiteral("数学"));
    QCOMPARE(listIds(form), QList<int>{1});
    pickCategory(form, QStringLiteral("语文"));
    QCOMPARE(form.navigator().PaperListModel->rowCount(), 0);
    QVERIFY(!form.OnDelPaper->isEnabled());
    QCOMPARE(form.bank().CurPapID, 1);

    form.navigator().RefreshPaperClasses();
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
    for (QLabel* label : {form.navigator().DBText1, form.navigator().DBText3}) {
        QVERIFY(label->width() < label->sizeHint().width()); // cut by the pane
        QTest::mouseMove(label, QPoint(5, 5));
        QTRY_COMPARE(label->toolTip(), label->text());
    }
    QCOMPARE(form.navigator().DBText1->toolTip(), name);
    QCOMPARE(form.navigator().DBText3->toolTip(), path);
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
    form.bank().Defaults.fullMark = 150;
    form.bank().Defaults.name = QStringLiteral("新试卷");
    form.bank().Defaults.outputFile = QStringLiteral("/out/new.html");
    form.bank().Defaults.category = QStringLiteral("缺省类别");
    openBank(form);
    pickCategory(form, chosen);

    form.OnNewPaper->trigger();
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
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
    QCOMPARE(selectedRow(form), form.navigator().PaperListModel->rowCount() - 1);
    QCOMPARE(form.bank().CurPapID, 3);
    QCOMPARE(form.navigator().DBText1->text(), QStringLiteral("新试卷"));
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
    QCOMPARE(form.bank().CurPapID, 3);
    Prompts::instance().queueYesNo(true);
    form.OnDelPaper->trigger();
    QCOMPARE(bank.count(QStringLiteral("question")), 2); // orphans stay until the next new record

    form.OnNewPaper->trigger();
    QCOMPARE(listIds(form), (QList<int>{1, 2, 3}));
    // The old paper's questions went before the new paper was stored;
    // their choice goes with the run after.
    QCOMPARE(bank.count(QStringLiteral("question")), 0);
    QCOMPARE(form.bank().TQuestion.recordCount(), 0);
    QCOMPARE(bank.count(QStringLiteral("choice")), 1);
    form.bank().RefreshNextIDs();
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
    QCOMPARE(form.bank().TChoice.asInteger(QStringLiteral("ChcIdx")), 1); // the new question has none
    QVERIFY(form.OnDelChoice->isEnabled());
    form.bank().TChoice.post();
    QCOMPARE(bank.count(QStringLiteral("choice where QstIdx = 7 and ChcIdx = 1")), 1);
}

// Two programs on one bank: the record posted second takes the next free identifier.
void TestNavigator::clashWithAnotherProgram() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    TMainForm form;
    openBank(form);
    form.bank().TPaper.insert();
    QCOMPARE(form.bank().TPaper.asInteger(QStringLiteral("PapID")), 2);
    form.bank().TPaper.setString(QStringLiteral("PapNam"), QStringLiteral("本程序的"));
    bank.paper(2, QStringLiteral("另一个程序的"));
    form.bank().TPaper.post();
    form.bank().TPaper.close();
    form.navigator().RefreshPaperList();
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
    QWidget* target = messageArea(form);
    if (where == QStringLiteral("list"))
        target = form.navigator().ListView;
    else if (where == QStringLiteral("filter"))
        target = form.navigator().CBPaperClass;
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

void TestNavigator::popupMenu() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    QMenu* menu = form.PopupMenuOf(form.navigator().ListView);
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
