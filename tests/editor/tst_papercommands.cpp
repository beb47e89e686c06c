// The navigator's paper commands and the properties dialog, the navigator
// standing alone over a real bank.
#include "editor/teditor.h"
#include "navigatorfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

using tess::Prompts;

namespace {

// Replaces a box's text the way the user does.
void typeInto(QLineEdit* edit, const QString& text) {
    typing::replaceText(edit, text);
}

QString paperText(const EditorBank& bank, int id, const char* column) {
    return bank
        .scalar(QStringLiteral("select %1 as v from paper where PapID = %2")
                    .arg(QLatin1String(column))
                    .arg(id))
        .toString();
}

const QString kDeleteAllQuestion = QStringLiteral(
    "执行此操作，数据库中所有试卷和题目将被清空，且不能恢复!\n真的要删除所有试卷吗?");

// A paper's page style as the bank keeps it: "style,choices,questions,limit",
// or empty without a record.
QString styleRow(const EditorBank& bank, int id) {
    return bank
        .scalar(QStringLiteral("select (select style || ',' || shuffle_choices || ',' || "
                               "shuffle_questions || ',' || time_limit from paper_style where "
                               "PapID = %1) as v")
                    .arg(id))
        .toString();
}

} // namespace

class TestPaperCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void deletePaper_data();
    void deletePaper();
    void deleteLastPaper();
    void deleteAllPapers_data();
    void deleteAllPapers();
    void deleteAllQuestionsWithoutSelection();
    void editWithOk();
    void pageStyle();
    void newPaperTakesDefaultStyle();
    void editOnEmptyList_data();
    void editOnEmptyList();
    void outputFileThenCloseBox_data();
    void outputFileThenCloseBox();
    void fullMark_data();
    void fullMark();
    void categoryButton();
    void categoryButtonWithoutCategories();
    void doubleClickOpensProperties();
    void editedPaperLeavesCategory_data();
    void editedPaperLeavesCategory();
    void paperDeletedByAnotherProgram();
    void connectionLost_data();
    void connectionLost();
};

void TestPaperCommands::deletePaper_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestPaperCommands::deletePaper() {
    QFETCH(bool, yes);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.paper(3, QStringLiteral("丙"));
    bank.question(1, 2, 1);
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    clickRow(nav, 1);
    Prompts::instance().queueYesNo(yes);
    nav.OnDelPaper->trigger();
    QCOMPARE(Prompts::instance().shownTexts(),
             QStringList{
                 QStringLiteral("删除当前试卷操作一旦被执行将不可恢复，真的要删除当前试卷吗？")});
    if (yes) {
        QCOMPARE(listIds(nav), (QList<int>{1, 3}));
        QCOMPARE(selectedRow(nav), 1); // the last entry
        QCOMPARE(nav.bank().CurPapID, 3);
        // Only the paper record goes; its question waits for the trim.
        QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 2")), 1);
    } else {
        QCOMPARE(listIds(nav), (QList<int>{1, 2, 3}));
        QCOMPARE(selectedRow(nav), 1);
        QCOMPARE(nav.bank().CurPapID, 2);
    }
}

void TestPaperCommands::deleteLastPaper() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    NavigatorAlone nav;
    nav.open();
    Prompts::instance().queueYesNo(true);
    nav.OnDelPaper->trigger();
    QCOMPARE(nav.navigator().PaperListModel->rowCount(), 0);
    QCOMPARE(selectedRow(nav), -1);
    QVERIFY(!nav.OnDelPaper->isEnabled());
    QCOMPARE(nav.navigator().DBText1->text(), QString());
    // Nothing left: the command asks nothing more.
    nav.OnDelPaper->trigger();
    nav.OnDelAllPaper->trigger();
    QCOMPARE(Prompts::instance().shownTexts().size(), 1);
}

void TestPaperCommands::deleteAllPapers_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestPaperCommands::deleteAllPapers() {
    QFETCH(bool, yes);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("语文"));
    bank.question(1, 1, 1);
    bank.question(2, 2, 1);
    bank.choice(1, 2, 1);
    bank.sql(QStringLiteral("insert into users (acount, password) values ('张老师', 'x')"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    pickCategory(nav, QStringLiteral("数学"));
    Prompts::instance().queueYesNo(yes);
    nav.OnDelAllPaper->trigger();
    QCOMPARE(Prompts::instance().shownTexts(), QStringList{kDeleteAllQuestion});
    const int left = yes ? 0 : 1;
    // Whatever the category shown: every paper, question and choice.
    QCOMPARE(bank.count(QStringLiteral("paper")), left * 2);
    QCOMPARE(bank.count(QStringLiteral("question")), left * 2);
    QCOMPARE(bank.count(QStringLiteral("choice")), left);
    QCOMPARE(bank.count(QStringLiteral("users")), 2);
    QCOMPARE(nav.navigator().PaperListModel->rowCount(), left);
    QCOMPARE(nav.OnDelPaper->isEnabled(), !yes);
    QCOMPARE(nav.lastListed(), QVariant(!yes)); // the question side follows
}

// With no entry selected the command has no paper the user can see: it does nothing.
void TestPaperCommands::deleteAllQuestionsWithoutSelection() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("语文"));
    bank.question(1, 1, 1);
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    Prompts::instance().queueYesNo(true);
    pickCategory(nav, QStringLiteral("语文"));
    nav.OnDelPaper->trigger();
    QCOMPARE(nav.bank().CurPapID, 2);
    pickCategory(nav, QStringLiteral("数学"));
    nav.navigator().ListView->selectionModel()->clear();
    nav.OnDelAllQuestion->trigger();
    QCOMPARE(bank.count(QStringLiteral("question")), 1);
}

void TestPaperCommands::editWithOk() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("数学"), 90, QStringLiteral("/old.html"));
    bank.paper(3, QStringLiteral("丙"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    clickRow(nav, 1);
    bool ran = false;
    onNextModal<TEditor>([&](TEditor* dlg) {
        ran = true;
        QCOMPARE(dlg->windowTitle(), QStringLiteral("试卷属性"));
        QCOMPARE(dlg->size(), QSize(461, 377)); // two rows for the page style
        QCOMPARE(dlg->DBEdit1->text(), QStringLiteral("2"));
        QVERIFY(dlg->DBEdit1->isReadOnly());
        QCOMPARE(dlg->DBEdit2->text(), QStringLiteral("90"));
        QCOMPARE(dlg->DBEdit3->text(), QStringLiteral("乙"));
        QCOMPARE(dlg->DBEdit4->text(), QStringLiteral("/old.html"));
        QCOMPARE(dlg->DBEdit5->text(), QStringLiteral("数学"));
        QVERIFY(dlg->CBPapCtg->isHidden());
        QVERIFY(dlg->OKBtn->isDefault());
        typeInto(dlg->DBEdit2, QStringLiteral("95"));
        typeInto(dlg->DBEdit3, QStringLiteral("乙 'O''期中'"));
        QTest::keyClick(dlg->DBEdit3, Qt::Key_Escape); // no cancel button: Esc drops nothing
        QVERIFY(dlg->isVisible());
        typeInto(dlg->DBEdit5, QStringLiteral("物理"));
        QTest::keyClick(dlg->DBEdit5, Qt::Key_Return); // Enter is OK
    });
    nav.OnEditPaper->trigger();
    QVERIFY(ran);
    QVERIFY(nav.messages().isEmpty());
    QCOMPARE(paperText(bank, 2, "PapScr"), QStringLiteral("95"));
    QCOMPARE(paperText(bank, 2, "PapNam"), QStringLiteral("乙 'O''期中'"));
    QCOMPARE(paperText(bank, 2, "PapSav"), QStringLiteral("/old.html"));
    QCOMPARE(paperText(bank, 2, "PapCtg"), QStringLiteral("物理"));
    QVERIFY(categories(nav).contains(QStringLiteral("物理")));
    QCOMPARE(listNames(nav).value(1), QStringLiteral("乙 'O''期中'"));
    QCOMPARE(selectedRow(nav), 1);
    QCOMPARE(nav.bank().CurPapID, 2);
    QCOMPARE(nav.navigator().DBText2->text(), QStringLiteral("95"));
}

// The page style and the phone page's options, chosen by keys and clicks in
// the properties dialog: OK keeps them in the bank and the information panel
// shows them; the close box keeps nothing.
void TestPaperCommands::pageStyle() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    clickRow(nav, 1);
    QCOMPARE(nav.navigator().DBText4->text(), QStringLiteral("经典"));

    bool ran = false;
    onNextModal<TEditor>([&](TEditor* dlg) {
        ran = true;
        QCOMPARE(dlg->CBPapStyle->currentText(), QStringLiteral("经典"));
        QCOMPARE(dlg->CBPapStyle->accessibleName(), QStringLiteral("页面样式"));
        // The options serve the phone page only.
        QVERIFY(!dlg->CKShuffleChoices->isEnabled());
        QVERIFY(!dlg->SPTimeLimit->isEnabled());
        dlg->CBPapStyle->setFocus();
        QTest::keyClick(dlg->CBPapStyle, Qt::Key_Down);
        QCOMPARE(dlg->CBPapStyle->currentText(), QStringLiteral("手机友好"));
        QVERIFY(dlg->CKShuffleChoices->isEnabled());
        QTest::mouseClick(dlg->CKShuffleChoices, Qt::LeftButton, {},
                          QPoint(4, dlg->CKShuffleChoices->height() / 2));
        QVERIFY(dlg->CKShuffleChoices->isChecked());
        dlg->CKShuffleQuestions->setFocus();
        QTest::keyClick(dlg->CKShuffleQuestions, Qt::Key_Space);
        dlg->SPTimeLimit->setFocus();
        QTest::keyClick(dlg->SPTimeLimit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dlg->SPTimeLimit, QStringLiteral("45"));
        if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
            dlg->grab().save(dir + QStringLiteral("/properties-style.png"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    nav.OnEditPaper->trigger();
    QVERIFY(ran);
    QVERIFY2(nav.messages().isEmpty(), qPrintable(nav.messages()));
    QCOMPARE(styleRow(bank, 2), QStringLiteral("1,1,1,45"));
    QCOMPARE(styleRow(bank, 1), QString());
    QCOMPARE(nav.navigator().DBText4->text(),
             QStringLiteral("手机友好 (选项乱序, 题目乱序, 限时45分钟)"));
    nav.grab(QStringLiteral("navigator-style"));

    // Shown again as stored; the close box keeps nothing of what changed.
    ran = false;
    onNextModal<TEditor>([&](TEditor* dlg) {
        ran = true;
        QCOMPARE(dlg->CBPapStyle->currentText(), QStringLiteral("手机友好"));
        QVERIFY(dlg->CKShuffleChoices->isChecked());
        QCOMPARE(dlg->SPTimeLimit->value(), 45);
        dlg->CBPapStyle->setFocus();
        QTest::keyClick(dlg->CBPapStyle, Qt::Key_Up);
        dlg->close();
    });
    nav.OnEditPaper->trigger();
    QVERIFY(ran);
    QCOMPARE(styleRow(bank, 2), QStringLiteral("1,1,1,45"));

    // Back to classic: the options stay, greyed, for a later change of mind.
    onNextModal<TEditor>([&](TEditor* dlg) {
        dlg->CBPapStyle->setFocus();
        QTest::keyClick(dlg->CBPapStyle, Qt::Key_Up);
        QCOMPARE(dlg->CBPapStyle->currentText(), QStringLiteral("经典"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    nav.OnEditPaper->trigger();
    QCOMPARE(styleRow(bank, 2), QStringLiteral("0,1,1,45"));
    QCOMPARE(nav.navigator().DBText4->text(), QStringLiteral("经典"));
}

// A new paper starts in the style the settings give, by the command and by
// the properties dialog on an empty list alike.
void TestPaperCommands::newPaperTakesDefaultStyle() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    nav.bank().Defaults.pageStyle = tess::PageStyle::Phone;
    nav.OnNewPaper->trigger();
    QVERIFY2(nav.messages().isEmpty(), qPrintable(nav.messages()));
    QCOMPARE(styleRow(bank, 2), QStringLiteral("1,0,0,0"));
    QCOMPARE(styleRow(bank, 1), QString());
    QCOMPARE(nav.navigator().DBText4->text(), QStringLiteral("手机友好"));
    // A deleted paper's style goes with it: a later paper with its
    // identifier starts from the default again.
    nav.bank().Defaults.pageStyle = tess::PageStyle::Classic;
    Prompts::instance().queueYesNo(true);
    nav.OnDelPaper->trigger();
    QCOMPARE(styleRow(bank, 2), QString());
    nav.OnNewPaper->trigger();
    QCOMPARE(styleRow(bank, 2), QString());
    QCOMPARE(nav.navigator().DBText4->text(), QStringLiteral("经典"));
}

void TestPaperCommands::editOnEmptyList_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("close box") << false;
}

void TestPaperCommands::editOnEmptyList() {
    QFETCH(bool, ok);
    EditorBank bank;
    NavigatorAlone nav;
    nav.bank().Defaults.name = QStringLiteral("新试卷");
    nav.bank().Defaults.fullMark = 100;
    nav.bank().Defaults.category = QStringLiteral("通用");
    nav.open();
    onNextModal<TEditor>([&](TEditor* dlg) {
        QCOMPARE(dlg->DBEdit1->text(), QStringLiteral("1"));
        QCOMPARE(dlg->DBEdit2->text(), QStringLiteral("100"));
        QCOMPARE(dlg->DBEdit3->text(), QStringLiteral("新试卷"));
        QCOMPARE(dlg->DBEdit5->text(), QStringLiteral("通用"));
        if (ok)
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        else
            dlg->close();
    });
    nav.OnEditPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
    QCOMPARE(bank.count(QStringLiteral("paper")), ok ? 1 : 0);
    QCOMPARE(nav.navigator().PaperListModel->rowCount(), ok ? 1 : 0);
    QCOMPARE(selectedRow(nav), -1);
    QCOMPARE(nav.OnDelPaper->isEnabled(), ok);
    if (ok)
        QVERIFY(categories(nav).contains(QStringLiteral("通用")));
}

void TestPaperCommands::outputFileThenCloseBox_data() {
    QTest::addColumn<bool>("emptyList");
    QTest::newRow("a paper") << false;
    QTest::newRow("empty list") << true;
}

void TestPaperCommands::outputFileThenCloseBox() {
    QFETCH(bool, emptyList);
    EditorBank bank;
    if (!emptyList)
        bank.paper(1, QStringLiteral("甲"));
    NavigatorAlone nav;
    nav.open();
    const QString picked = bank.dir.filePath(QStringLiteral("卷/期中.html"));
    Prompts::instance().queueFile(QString()); // cancelled first: nothing changes
    Prompts::instance().queueFile(picked);
    onNextModal<TEditor>([&](TEditor* dlg) {
        typeInto(dlg->DBEdit3, QStringLiteral("先"));
        QTest::mouseClick(dlg->BtnSelDir, Qt::LeftButton);
        QCOMPARE(bank.count(QStringLiteral("paper")), emptyList ? 0 : 1);
        QCOMPARE(dlg->DBEdit4->text(),
                 emptyList ? nav.bank().Defaults.outputFile : QStringLiteral("/tmp/p.html"));
        QTest::mouseClick(dlg->BtnSelDir, Qt::LeftButton);
        QCOMPARE(dlg->DBEdit4->text(), picked);
        typeInto(dlg->DBEdit3, QStringLiteral("后"));
        dlg->close();
    });
    nav.OnEditPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
    QCOMPARE(bank.count(QStringLiteral("paper")), 1);
    QCOMPARE(paperText(bank, 1, "PapSav"), picked);
    QCOMPARE(paperText(bank, 1, "PapNam"), QStringLiteral("先"));
    // The navigator shows what was stored.
    QCOMPARE(listNames(nav), QStringList{QStringLiteral("先")});
    QCOMPARE(nav.navigator().DBText3->text(), picked);
}

void TestPaperCommands::fullMark_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");  // what the box took
    QTest::addColumn<QString>("stored"); // "" = refused
    QTest::newRow("digits") << QStringLiteral("120") << QStringLiteral("120")
                            << QStringLiteral("120");
    QTest::newRow("letters dropped")
        << QStringLiteral("1a2b") << QStringLiteral("12") << QStringLiteral("12");
    QTest::newRow("signed") << QStringLiteral("-5") << QStringLiteral("-5") << QStringLiteral("-5");
    QTest::newRow("lone sign") << QStringLiteral("-") << QStringLiteral("-") << QString();
    QTest::newRow("two signs") << QStringLiteral("+-3") << QStringLiteral("+-3") << QString();
    QTest::newRow("beyond 32 bits")
        << QStringLiteral("2147483648") << QStringLiteral("2147483648") << QString();
    QTest::newRow("empty is null") << QString() << QString() << QStringLiteral("null");
}

void TestPaperCommands::fullMark() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    NavigatorAlone nav;
    nav.open();
    onNextModal<TEditor>([&](TEditor* dlg) {
        typeInto(dlg->DBEdit2, typed);
        QCOMPARE(dlg->DBEdit2->text(), shown);
        typeInto(dlg->DBEdit3, QStringLiteral("改名"));
        // Another program adds a paper: a refresh would show it.
        bank.paper(2, QStringLiteral("乙"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        if (!stored.isEmpty()) {
            QVERIFY(!dlg->isVisible());
            return;
        }
        // Refused: reported, nothing refreshed, the dialog keeps what was typed.
        QVERIFY(dlg->isVisible());
        QVERIFY(nav.messages().startsWith(QStringLiteral("程序运行错误:")));
        QCOMPARE(listIds(nav), QList<int>{1});
        QCOMPARE(dlg->DBEdit3->text(), QStringLiteral("改名"));
        QCOMPARE(paperText(bank, 1, "PapNam"), QStringLiteral("甲"));
        typeInto(dlg->DBEdit2, QStringLiteral("88"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
    });
    nav.OnEditPaper->trigger();
    QCOMPARE(paperText(bank, 1, "PapNam"), QStringLiteral("改名"));
    const QVariant mark =
        bank.scalar(QStringLiteral("select PapScr as v from paper where PapID = 1"));
    if (stored.isEmpty())
        QCOMPARE(mark.toString(), QStringLiteral("88"));
    else if (stored == QStringLiteral("null"))
        QVERIFY(mark.isNull());
    else
        QCOMPARE(mark.toString(), stored);
    QCOMPARE(listIds(nav), (QList<int>{1, 2}));
}

void TestPaperCommands::categoryButton() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("数学"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("O'Neil's"));
    bank.paper(3, QStringLiteral("丙"), QStringLiteral(""));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    onNextModal<TEditor>([&](TEditor* dlg) {
        typeInto(dlg->DBEdit3, QStringLiteral("改名"));
        QTest::mouseClick(dlg->BtnSelCtg, Qt::LeftButton);
        QVERIFY(dlg->CBPapCtg->isVisible());
        QCOMPARE(dlg->CBPapCtg->count(), 2);
        QCOMPARE(dlg->CBPapCtg->currentIndex(), 0);
        QCOMPARE(dlg->DBEdit5->text(),
                 QStringLiteral("数学")); // choosing the first changes nothing
        QTest::mouseClick(dlg->BtnSelCtg, Qt::LeftButton);
        QVERIFY(dlg->CBPapCtg->isHidden());
        QTest::mouseClick(dlg->BtnSelCtg, Qt::LeftButton);
        QVERIFY(dlg->CBPapCtg->isVisible());
        // The user picks the other category: stored at once.
        const int other = dlg->CBPapCtg->findText(QStringLiteral("O'Neil's"));
        dlg->CBPapCtg->setCurrentIndex(other == 0 ? 1 : 0);
        dlg->CBPapCtg->setFocus();
        QTest::keyClick(dlg->CBPapCtg, other == 0 ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(dlg->DBEdit5->text(), QStringLiteral("O'Neil's"));
        QVERIFY(dlg->CBPapCtg->isHidden());
        QCOMPARE(paperText(bank, 1, "PapCtg"), QStringLiteral("O'Neil's"));
        QCOMPARE(paperText(bank, 1, "PapNam"), QStringLiteral("改名"));
        dlg->close();
    });
    nav.OnEditPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
    QCOMPARE(paperText(bank, 1, "PapCtg"), QStringLiteral("O'Neil's"));
    QVERIFY(!categories(nav).contains(QStringLiteral("数学")));
}

void TestPaperCommands::categoryButtonWithoutCategories() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"), QStringLiteral(""));
    NavigatorAlone nav;
    nav.open();
    onNextModal<TEditor>([&](TEditor* dlg) {
        for (int press = 0; press < 3; ++press) {
            QTest::mouseClick(dlg->BtnSelCtg, Qt::LeftButton);
            QVERIFY(dlg->CBPapCtg->isHidden());
            QVERIFY(!dlg->CBPapCtg->isEnabled());
        }
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    nav.OnEditPaper->trigger();
    QCOMPARE(paperText(bank, 1, "PapCtg"), QString());
}

void TestPaperCommands::doubleClickOpensProperties() {
    EditorBank bank;
    NavigatorAlone nav;
    nav.open();
    bool opened = false;
    onNextModal<TEditor>([&](TEditor* dlg) {
        opened = true;
        dlg->close();
    });
    // Below the last entry counts too: on an empty list it starts a new paper.
    QTest::mouseDClick(nav.navigator().ListView->viewport(), Qt::LeftButton, Qt::NoModifier,
                       QPoint(20, 20));
    QTRY_VERIFY(opened);
    QCOMPARE(bank.count(QStringLiteral("paper")), 0);
}

// The edited paper is moved out of the category the list shows.
void TestPaperCommands::editedPaperLeavesCategory_data() {
    QTest::addColumn<bool>("othersRemain");
    QTest::newRow("the category keeps papers") << true;
    QTest::newRow("the category has gone") << false;
}

void TestPaperCommands::editedPaperLeavesCategory() {
    QFETCH(bool, othersRemain);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"), QStringLiteral("语文"));
    bank.paper(2, QStringLiteral("乙"), QStringLiteral("数学"));
    if (othersRemain)
        bank.paper(3, QStringLiteral("丙"), QStringLiteral("数学"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    pickCategory(nav, QStringLiteral("数学"));
    onNextModal<TEditor>([&](TEditor* dlg) {
        typeInto(dlg->DBEdit5, QStringLiteral("语文"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    nav.OnEditPaper->trigger();
    QVERIFY(nav.messages().isEmpty());
    if (othersRemain) {
        // The drop-down still names what the list shows; the place is taken
        // by the next paper of the category.
        QCOMPARE(nav.navigator().CBPaperClass->currentText(), QStringLiteral("数学"));
        QCOMPARE(listIds(nav), QList<int>{3});
        QCOMPARE(selectedRow(nav), 0);
        QCOMPARE(nav.bank().CurPapID, 3);
        // A new paper now belongs to that category and shows in the list.
        nav.OnNewPaper->trigger();
        QCOMPARE(paperText(bank, 4, "PapCtg"), QStringLiteral("数学"));
        QCOMPARE(listIds(nav), (QList<int>{3, 4}));
    } else {
        // All papers again, the edited one still selected.
        QCOMPARE(nav.navigator().CBPaperClass->currentIndex(), 0);
        QCOMPARE(listIds(nav), (QList<int>{1, 2}));
        QCOMPARE(selectedRow(nav), 1);
        QCOMPARE(nav.bank().CurPapID, 2);
    }
}

// Another program deletes the paper while its properties are open.
void TestPaperCommands::paperDeletedByAnotherProgram() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    onNextModal<TEditor>([&](TEditor* dlg) {
        bank.sql(QStringLiteral("delete from paper where PapID = 1"));
        typeInto(dlg->DBEdit3, QStringLiteral("改名"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        QVERIFY(dlg->isVisible());
        QVERIFY(nav.messages().contains(QStringLiteral("另一个程序")));
        dlg->close();
    });
    nav.OnEditPaper->trigger();
    QCOMPARE(bank.count(QStringLiteral("paper")), 1);
    QCOMPARE(paperText(bank, 2, "PapNam"), QStringLiteral("乙"));
    // The paper cursor is usable again: the list refills and the other paper can be edited.
    nav.navigator().RefreshPaperList();
    QCOMPARE(listIds(nav), QList<int>{2});
    onNextModal<TEditor>([&](TEditor* dlg) {
        typeInto(dlg->DBEdit3, QStringLiteral("改名"));
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
    });
    nav.OnEditPaper->trigger();
    QCOMPARE(paperText(bank, 2, "PapNam"), QStringLiteral("改名"));
}

void TestPaperCommands::connectionLost_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("after"); // the papers once the command has gone through
    QTest::newRow("new paper") << "new" << QList<int>{1, 2, 3};
    QTest::newRow("delete paper") << "delete" << QList<int>{1};
}

// The connection to a server bank breaks before a paper command: it is
// refused with a message saying so and what to do, the bank and the list stay
// as they were, and the next try, the connection made again, goes through.
void TestPaperCommands::connectionLost() {
    if (!banktest::onServer())
        QSKIP("a bank file has no connection to lose");
    QFETCH(QString, command);
    QFETCH(QList<int>, after);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    bank.paper(2, QStringLiteral("乙"));
    bank.question(1, 2, 1);
    setup.commit();
    NavigatorAlone nav;
    nav.open();
    clickRow(nav, 1);
    QAction* action = command == QLatin1String("new") ? nav.OnNewPaper : nav.OnDelPaper;
    auto run = [&] {
        if (command == QLatin1String("delete"))
            Prompts::instance().queueYesNo(true);
        action->trigger();
    };

    banktest::cutConnections(tess::ProgramFiles::PaperBankPath());
    run();
    QVERIFY2(nav.messages().startsWith(QStringLiteral("程序运行错误:与试题库服务器的连接断开了")),
             qPrintable(nav.messages()));
    QVERIFY2(nav.messages().contains(QStringLiteral("没有保存")), qPrintable(nav.messages()));
    QCOMPARE(bank.column(QStringLiteral("paper"), QStringLiteral("PapID"), QStringLiteral("PapID")),
             (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(bank.count(QStringLiteral("question")), 1);
    QCOMPARE(listIds(nav), (QList<int>{1, 2}));
    QCOMPARE(nav.bank().CurPapID, 2);

    nav.frame().ClearMessages();
    run();
    QVERIFY2(nav.messages().isEmpty(), qPrintable(nav.messages()));
    QCOMPARE(listIds(nav), after);
    QStringList stored;
    for (const int id : after)
        stored << QString::number(id);
    QCOMPARE(bank.column(QStringLiteral("paper"), QStringLiteral("PapID"), QStringLiteral("PapID")),
             stored);
}

QTEST_MAIN(TestPaperCommands)
#include "tst_papercommands.moc"
