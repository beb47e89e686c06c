// The paper navigator alone: the list, the selection, the category filter,
// the information panel and the numbering of new papers, over a real bank.
#include "navigatorfixture.h"
#include "store/tablecursor.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>

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
    void nameFilter_data();
    void nameFilter();
    void nameFilterFollowsTheCommands();
    void informationTooltips();
    void newPaperNumbersAndCategory_data();
    void newPaperNumbersAndCategory();
    void deletedTopPaperIdentifierReused();
    void clashWithAnotherProgram();
};

void TestNavigator::emptyBank() {
    EditorBank bank;
    NavigatorAlone nav;
    nav.open();
    QCOMPARE(categories(nav), QStringList{QStringLiteral("所有试卷")});
    QCOMPARE(nav.navigator().PaperListModel->rowCount(), 0);
    QCOMPARE(selectedRow(nav), -1);
    QCOMPARE(nav.bank().CurPapID, -1);
    QVERIFY(!nav.OnDelPaper->isEnabled());
    QCOMPARE(nav.lastListed(), QVariant(false)); // the question side is not offered
    QCOMPARE(nav.navigator().DBText1->text(), QString());
    QCOMPARE(nav.bank().NextPapID, 1);
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
    NavigatorAlone nav;
    nav.open();

    const QStringList shown = categories(nav);
    QCOMPARE(shown.value(0), QStringLiteral("所有试卷"));
    QCOMPARE(shown.size(), 3);
    QVERIFY(shown.contains(QStringLiteral("数学")) && shown.contains(QStringLiteral("语文")));
    QCOMPARE(nav.navigator().CBPaperClass->currentIndex(), 0);
    QVERIFY(!nav.navigator().CBPaperClass->isEditable());

    QCOMPARE(listIds(nav), (QList<int>{2, 3, 4, 5, 7}));
    QCOMPARE(listNames(nav).value(0), QStringLiteral("单元一"));
    QCOMPARE(selectedRow(nav), 0);
    QCOMPARE(nav.bank().CurPapID, 2);
    QCOMPARE(nav.bank().TPaper.asInteger(QStringLiteral("PapID")), 2);
    QCOMPARE(nav.bank().TQuestion.filter(), QStringLiteral("PapIdx = 2"));
    QCOMPARE(nav.bank().TQuestion.recordCount(), 1);
    QVERIFY(nav.OnDelPaper->isEnabled());
    QCOMPARE(nav.lastListed(), QVariant(true)); // the question side is offered
    QCOMPARE(nav.navigator().DBText1->text(), QStringLiteral("单元一"));
    QCOMPARE(nav.navigator().DBText2->text(), QStringLiteral("100"));
    // The list never edits its entries in place.
    QCOMPARE(nav.navigator().ListView->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!(nav.navigator().PaperListModel->flags(nav.navigator().PaperListModel->index(0)) &
              Qt::ItemIsEditable));
    nav.grab(QStringLiteral("navigator"));
}

void TestNavigator::selectingAnEntry() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"), QVariant(), 80, QStringLiteral("/out/乙.html"));
    bank.question(10, 2, 1);
    bank.question(11, 2, 2);
    setup.commit();
    NavigatorAlone nav;
    nav.open();

    clickRow(nav, 1);
    QCOMPARE(selectedRow(nav), 1);
    QCOMPARE(nav.bank().CurPapID, 2);
    QCOMPARE(nav.bank().TPaper.asString(QStringLiteral("PapNam")), QStringLiteral("乙"));
    QCOMPARE(nav.bank().TQuestion.filter(), QStringLiteral("PapIdx = 2"));
    QCOMPARE(nav.bank().TQuestion.recordCount(), 2);
    QCOMPARE(nav.navigator().DBText1->text(), QStringLiteral("乙"));
    QCOMPARE(nav.navigator().DBText2->text(), QStringLiteral("80"));
    QCOMPARE(nav.navigator().DBText3->text(), QStringLiteral("/out/乙.html"));

    // The keyboard moves the selection too.
    nav.navigator().ListView->setFocus();
    QTest::keyClick(nav.navigator().ListView, Qt::Key_Up);
    QCOMPARE(nav.bank().CurPapID, 1);
    QCOMPARE(nav.bank().TQuestion.recordCount(), 0);
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
    NavigatorAlone nav;
    nav.open();
    QCOMPARE(nav.bank().CurPapID, 1);
    nav.bank().Conn.setBusyTimeout(50);

    banktest::BankHolder holder(tess::ProgramFiles::PaperBankPath(),
                                banktest::BankHolder::Hold::Everything);
    clickRow(nav, 1);
    holder.release();

    QVERIFY(nav.messages().startsWith(QStringLiteral("程序运行错误:")));
    QCOMPARE(nav.messages().count(QStringLiteral("程序运行错误:")), 1);
    QCOMPARE(selectedRow(nav), 0);
    QCOMPARE(nav.bank().CurPapID, 1);
    QCOMPARE(nav.bank().TPaper.asInteger(QStringLiteral("PapID")), 1);
    QCOMPARE(nav.navigator().DBText1->text(), QStringLiteral("甲"));

    clickRow(nav, 1);
    QCOMPARE(nav.bank().CurPapID, 2);
    QCOMPARE(nav.bank().TQuestion.recordCount(), 1);
}

void TestNavigator::refillKeepsSelectedPaper() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    QCOMPARE(nav.bank().CurPapID, 1);
    // Another program adds a question and a paper meanwhile.
    bank.question(5, 1, 1);
    bank.paper(3, QStringLiteral("丙"));

    nav.navigator().RefreshPaperList();
    QCOMPARE(nav.bank().CurPapID, 1);
    QCOMPARE(nav.bank().TQuestion.filter(), QStringLiteral("PapIdx = 1"));
    QCOMPARE(nav.bank().TQuestion.recordCount(), 1); // read afresh
    QCOMPARE(listIds(nav), (QList<int>{1, 2, 3}));
    QCOMPARE(selectedRow(nav), 0);
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
    NavigatorAlone nav;
    nav.open();

    pickCategory(nav, category);
    QCOMPARE(listIds(nav), shown);
    QCOMPARE(nav.bank().CurPapID, shown.first());
    QCOMPARE(selectedRow(nav), 0);
    QVERIFY(nav.messages().isEmpty());

    // Back to all papers.
    pickCategory(nav, QStringLiteral("所有试卷"));
    QCOMPARE(listIds(nav), (QList<int>{1, 2, 3, 4, 5, 6}));
}

// Typing into the filter box narrows the list, inside the chosen category.
void TestNavigator::nameFilter_data() {
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("shown");
    QTest::addColumn<int>("selected"); // CurPapID afterwards
    const QString all = QStringLiteral("所有试卷");
    QTest::newRow("Chinese") << all << QStringLiteral("期中") << QList<int>{1, 3, 4} << 1;
    QTest::newRow("selected paper hidden: the first shown is selected")
        << all << QStringLiteral("语文") << QList<int>{3} << 3;
    QTest::newRow("Latin without regard to case")
        << all << QStringLiteral("aLGEBRA") << QList<int>{1} << 1;
    QTest::newRow("inside the category")
        << QStringLiteral("物理") << QStringLiteral("期中") << QList<int>{4} << 4;
    QTest::newRow("quote and percent taken as they are")
        << all << QStringLiteral("100%") << QList<int>{5} << 5;
    QTest::newRow("nothing matches") << all << QStringLiteral("不存在") << QList<int>{} << 1;
}

void TestNavigator::nameFilter() {
    QFETCH(QString, category);
    QFETCH(QString, typed);
    QFETCH(QList<int>, shown);
    QFETCH(int, selected);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中数学 Algebra"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("期末数学"), QStringLiteral("数学"));
    bank.paper(3, QStringLiteral("期中语文"), QStringLiteral("语文"));
    bank.paper(4, QStringLiteral("Physics 期中"), QStringLiteral("物理"));
    bank.paper(5, QStringLiteral("O'Neil 100% 练习"), QStringLiteral("英语"));
    bank.question(30, 3, 1);
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    pickCategory(nav, category);
    QLineEdit* filter = nav.navigator().EditPaperFilter;
    filter->setFocus();
    typing::replaceText(filter, typed);
    QCOMPARE(listIds(nav), shown);
    QCOMPARE(nav.bank().CurPapID, selected);
    QCOMPARE(selectedRow(nav), shown.isEmpty() ? -1 : int(shown.indexOf(selected)));
    QCOMPARE(nav.OnDelPaper->isEnabled(), !shown.isEmpty());
    // The questions are the selected paper's.
    QCOMPARE(nav.bank().TQuestion.recordCount(), selected == 3 ? 1 : 0);
    QVERIFY(nav.messages().isEmpty());

    // Esc shows the category's papers again, the selected paper kept.
    QTest::keyClick(filter, Qt::Key_Escape);
    QVERIFY(filter->text().isEmpty());
    QCOMPARE(listIds(nav).size(), category == QStringLiteral("所有试卷") ? 5 : 1);
    QCOMPARE(nav.bank().CurPapID, selected);
    QCOMPARE(nav.navigator().PaperListModel->papIdAt(selectedRow(nav)), selected);
}

// Deleting works on the papers shown; a new paper clears the filter, so that
// it is shown and selected; a refill keeps the filter.
void TestNavigator::nameFilterFollowsTheCommands() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中数学"));
    bank.paper(2, QStringLiteral("期末数学"));
    bank.paper(3, QStringLiteral("期中语文"));
    bank.paper(4, QStringLiteral("期中物理"));
    setup.commit();
    NavigatorAlone nav;
    nav.bank().Defaults.name = QStringLiteral("新试卷");
    nav.open();
    QLineEdit* filter = nav.navigator().EditPaperFilter;
    typing::replaceText(filter, QStringLiteral("期中"));
    clickRow(nav, 1);
    QCOMPARE(nav.bank().CurPapID, 3);

    Prompts::instance().queueYesNo(true);
    nav.OnDelPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
    QCOMPARE(bank.count(QStringLiteral("paper where PapID = 3")), 0);
    QCOMPARE(listIds(nav), (QList<int>{1, 4}));
    QCOMPARE(nav.bank().CurPapID, 4); // the last one shown, as without a filter

    nav.navigator().RefreshPaperList();
    QCOMPARE(listIds(nav), (QList<int>{1, 4}));

    nav.OnNewPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
    QVERIFY(filter->text().isEmpty());
    QCOMPARE(listIds(nav), (QList<int>{1, 2, 4, 5}));
    QCOMPARE(nav.bank().CurPapID, 5);
    QCOMPARE(selectedRow(nav), 3);
}

void TestNavigator::categoryWhosePapersAreGone() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("语文"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    pickCategory(nav, QStringLiteral("语文"));
    QCOMPARE(nav.bank().CurPapID, 2);
    Prompts::instance().queueYesNo(true);
    nav.OnDelPaper->trigger();
    QCOMPARE(nav.navigator().PaperListModel->rowCount(), 0);
    QVERIFY(!nav.OnDelPaper->isEnabled());
    QCOMPARE(nav.lastListed(), QVariant(false)); // the question side is not offered
    QCOMPARE(nav.bank().CurPapID, 2);            // keeps the paper selected last

    // Stays offered until the categories are rebuilt; picking it shows nothing.
    QVERIFY(categories(nav).contains(QStringLiteral("语文")));
    pickCategory(nav, QStringLiteral("数学"));
    QCOMPARE(listIds(nav), QList<int>{1});
    pickCategory(nav, QStringLiteral("语文"));
    QCOMPARE(nav.navigator().PaperListModel->rowCount(), 0);
    QVERIFY(!nav.OnDelPaper->isEnabled());
    QCOMPARE(nav.bank().CurPapID, 1);

    nav.navigator().RefreshPaperClasses();
    QVERIFY(!categories(nav).contains(QStringLiteral("语文")));
}

void TestNavigator::informationTooltips() {
    EditorBank bank;
    const QString name = QString(300, QChar(0x9898)) + QStringLiteral("尾");
    const QString path = QStringLiteral("/a/very/long/path/") + QString(200, QLatin1Char('x')) +
                         QStringLiteral(".html");
    bank.paper(1, name, QVariant(), 100, path);
    NavigatorAlone nav;
    nav.open();
    QCOMPARE(listNames(nav).value(0), name);
    for (QLabel* label : {nav.navigator().DBText1, nav.navigator().DBText3}) {
        QVERIFY(label->width() < label->sizeHint().width()); // cut by the pane
        QTest::mouseMove(label, QPoint(5, 5));
        QTRY_COMPARE(label->toolTip(), label->text());
    }
    QCOMPARE(nav.navigator().DBText1->toolTip(), name);
    QCOMPARE(nav.navigator().DBText3->toolTip(), path);
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
    NavigatorAlone nav;
    nav.bank().Defaults.fullMark = 150;
    nav.bank().Defaults.name = QStringLiteral("新试卷");
    nav.bank().Defaults.outputFile = QStringLiteral("/out/new.html");
    nav.bank().Defaults.category = QStringLiteral("缺省类别");
    nav.open();
    pickCategory(nav, chosen);

    nav.OnNewPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
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
    QCOMPARE(listIds(nav).last(), 3);
    QCOMPARE(selectedRow(nav), nav.navigator().PaperListModel->rowCount() - 1);
    QCOMPARE(nav.bank().CurPapID, 3);
    QCOMPARE(nav.navigator().DBText1->text(), QStringLiteral("新试卷"));
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
    NavigatorAlone nav;
    nav.open();
    clickRow(nav, 2);
    QCOMPARE(nav.bank().CurPapID, 3);
    Prompts::instance().queueYesNo(true);
    nav.OnDelPaper->trigger();
    QCOMPARE(bank.count(QStringLiteral("question")), 2); // orphans stay until the next new record

    nav.OnNewPaper->trigger();
    QCOMPARE(listIds(nav), (QList<int>{1, 2, 3}));
    // The old paper's questions went before the new paper was stored;
    // their choice goes with the run after.
    QCOMPARE(bank.count(QStringLiteral("question")), 0);
    QCOMPARE(nav.bank().TQuestion.recordCount(), 0);
    QCOMPARE(bank.count(QStringLiteral("choice")), 1);
    nav.bank().RefreshNextIDs();
    QCOMPARE(bank.count(QStringLiteral("choice")), 0);
}

// Two programs on one bank: the record posted second takes the next free identifier.
void TestNavigator::clashWithAnotherProgram() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    NavigatorAlone nav;
    nav.open();
    nav.bank().TPaper.insert();
    QCOMPARE(nav.bank().TPaper.asInteger(QStringLiteral("PapID")), 2);
    nav.bank().TPaper.setString(QStringLiteral("PapNam"), QStringLiteral("本程序的"));
    bank.paper(2, QStringLiteral("另一个程序的"));
    nav.bank().TPaper.post();
    nav.bank().TPaper.close();
    nav.navigator().RefreshPaperList();
    QCOMPARE(listIds(nav), (QList<int>{1, 2, 3}));
    QCOMPARE(listNames(nav).value(2), QStringLiteral("本程序的"));
}

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
