// "从题库组卷" in the real main window: rows of type, count and mark, the
// sources, the draw and its redraws, the new paper selected in the list; and
// a bank that holds too few questions.
#include "editor/editorfixture.h"
#include "search/tformcompose.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

class TestComposeWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { tess::Prompts::instance().clear(); }
    void drawRedrawAndMake();
    void tooFew();
    void newPaperInAnotherCategory();
};

namespace {

// Paper 1 (物理) has single choice A1 to A4 worth 2 and two true/false worth
// 1; paper 2 (化学) single choice C1 and C2 worth 2, with choices; paper 3
// (物理) one single choice that reads as A1.
void fill(EditorBank& bank) {
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("物理期中"), QStringLiteral("物理"));
    bank.paper(2, QStringLiteral("化学期中"), QStringLiteral("化学"));
    bank.paper(3, QStringLiteral("物理单元"), QStringLiteral("物理"));
    bank.sql(QStringLiteral(
        "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon) values (11, 1, 1, "
        "'单选题', 2, 'A1'), (12, 1, 2, '单选题', 2, 'A2'), (13, 1, 3, '单选题', 2, "
        "'A3'), (14, 1, 4, '单选题', 2, 'A4'), (15, 1, 5, '判断题', 1, 'T1'), (16, 1, 6, "
        "'判断题', 1, 'T2'), (21, 2, 1, '单选题', 2, 'C1'), (22, 2, 2, '单选题', 2, 'C2'), (31, "
        "3, 1, '单选题', 2, '<b>A1</b>')"));
    bank.sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
                            "(1, 21, 1, True, '酸'), (2, 21, 2, False, '碱')"));
    setup.commit();
}

tess::TFormCompose* openCompose(TMainForm& form) {
    auto* action = form.findChild<QAction*>(QStringLiteral("OnComposePaper"));
    if (!action || !action->isEnabled())
        return nullptr;
    action->trigger();
    auto* window = form.findChild<tess::TFormCompose*>(QStringLiteral("TFormCompose"));
    return window && window->isVisible() ? window : nullptr;
}

template <typename Box> Box* rowCell(tess::TFormCompose* window, int row, int column) {
    return qobject_cast<Box*>(window->GridRows->cellWidget(row, column));
}

void typeNumber(QSpinBox* box, int value) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QString::number(value));
    QCOMPARE(box->value(), value);
}

// A request row as the teacher sets it: type picked, count and mark typed.
void setRow(tess::TFormCompose* window, int row, const QString& type, int count, int mark) {
    typing::pickByKeys(rowCell<QComboBox>(window, row, 0), type);
    typeNumber(rowCell<QSpinBox>(window, row, 1), count);
    typeNumber(rowCell<QSpinBox>(window, row, 2), mark);
}

// Ticks the entry that starts with text, by the keyboard.
void tick(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchStartsWith);
    QVERIFY2(!items.isEmpty(), qPrintable(text));
    list->setFocus();
    list->setCurrentItem(items.first());
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(items.first()->checkState(), Qt::Checked);
}

QStringList drawnTexts(const tess::TFormCompose* window) {
    QStringList texts;
    for (int row = 0; row < window->GridDrawn->rowCount(); ++row)
        texts << window->GridDrawn->item(row, 0)->text() + QLatin1Char('|') +
                     window->GridDrawn->item(row, 2)->text() + QLatin1Char('|') +
                     window->GridDrawn->item(row, 3)->text();
    return texts;
}

void pickDrawn(tess::TFormCompose* window, int row) {
    const QRect rect = window->GridDrawn->visualItemRect(window->GridDrawn->item(row, 0));
    QTest::mouseClick(window->GridDrawn->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

void grab(QWidget* window, const char* name) {
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty()) {
        QCoreApplication::processEvents(); // the layout as the teacher sees it
        window->grab().save(dir + QLatin1Char('/') + QLatin1String(name));
    }
}

// The fixture bank and the signed-in window.
struct Composing {
    EditorBank bank;
    TMainForm form;
    Composing() {
        fill(bank);
        openBank(form);
    }
};

} // namespace

void TestComposeWindow::drawRedrawAndMake() {
    Composing composing;
    EditorBank& bank = composing.bank;
    TMainForm& form = composing.form;
    // Paper 3 is the current one: its text must not come again.
    clickRow(form, 2);
    QCOMPARE(form.bank().CurPapID, 3);
    tess::TFormCompose* window = openCompose(form);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("从题库组卷"));
    QVERIFY(!window->BtnMake->isEnabled());
    QVERIFY(!window->BtnRedrawOne->isEnabled());

    typing::replaceText(window->EditName, QStringLiteral("单元测验"));
    QCOMPARE(window->GridRows->rowCount(), 1);
    setRow(window, 0, QStringLiteral("单选题"), 2, 2);
    QTest::mouseClick(window->BtnAddRow, Qt::LeftButton);
    QCOMPARE(window->GridRows->rowCount(), 2);
    QCOMPARE(rowCell<QComboBox>(window, 1, 0)->currentText(), QStringLiteral("单选题"));
    setRow(window, 1, QStringLiteral("判断题"), 2, 1);
    QCOMPARE(window->LabelTotal->text(), QStringLiteral("共 4 道题, 满分 6 分"));
    QCOMPARE(window->ListCategories->count(), 2); // 化学, 物理
    tick(window->ListCategories, QStringLiteral("物理"));
    window->CheckExclude->setFocus();
    QTest::keyClick(window->CheckExclude, Qt::Key_Space);
    QVERIFY(window->CheckExclude->isChecked());

    // Single choice from A2, A3, A4 (A1 reads as paper 3's), true/false T1, T2.
    QTest::mouseClick(window->BtnDraw, Qt::LeftButton);
    QStringList drawn = drawnTexts(window);
    QCOMPARE(drawn.size(), 4);
    const QStringList single{QStringLiteral("单选题|A2|物理期中"),
                             QStringLiteral("单选题|A3|物理期中"),
                             QStringLiteral("单选题|A4|物理期中")};
    QVERIFY(single.contains(drawn[0]) && single.contains(drawn[1]) && drawn[0] != drawn[1]);
    QCOMPARE(QSet<QString>(drawn.begin() + 2, drawn.end()),
             (QSet<QString>{QStringLiteral("判断题|T1|物理期中"),
                            QStringLiteral("判断题|T2|物理期中")}));
    QVERIFY(window->LabelStatus->text().startsWith(QStringLiteral("抽到 4 道题, 满分 6 分.")));
    QVERIFY(window->BtnMake->isEnabled());
    grab(window, "compose-window.png");

    // Nothing picked: told. The second single choice gets the one left.
    window->GridDrawn->clearSelection();
    QTest::mouseClick(window->BtnRedrawOne, Qt::LeftButton);
    QCOMPARE(window->LabelStatus->text(), QStringLiteral("请先在抽到的题中选中要重抽的一道题."));
    pickDrawn(window, 1);
    QTest::mouseClick(window->BtnRedrawOne, Qt::LeftButton);
    QCOMPARE(window->LabelStatus->text(), QStringLiteral("第 2 道题换了一道."));
    const QStringList redrawn = drawnTexts(window);
    QVERIFY(single.contains(redrawn[1]));
    QVERIFY(redrawn[1] != drawn[1] && redrawn[1] != drawn[0]);
    QCOMPARE(redrawn[0], drawn[0]);
    // A true/false question has no other to be replaced by.
    pickDrawn(window, 3);
    QTest::mouseClick(window->BtnRedrawOne, Qt::LeftButton);
    QCOMPARE(window->LabelStatus->text(),
             QStringLiteral("所选的类别和试卷里没有别的判断题 (每题 1 分) 可以换了."));
    QCOMPARE(drawnTexts(window), redrawn);

    // Made: the new paper selected, its questions in the grid, in the draw's order.
    messageArea(form)->clear();
    QTest::mouseClick(window->BtnMake, Qt::LeftButton);
    QCOMPARE(messageArea(form)->toPlainText(),
             QStringLiteral("已组成试卷 \"单元测验\": 4 道题, 满分 6 分."));
    QVERIFY(!window->isVisible());
    QCOMPARE(bank.count(QStringLiteral("paper")), 4);
    QCOMPARE(
        bank.scalar(QStringLiteral("select PapNam as v from paper where PapID = 4")).toString(),
        QStringLiteral("单元测验"));
    QCOMPARE(bank.scalar(QStringLiteral("select PapScr as v from paper where PapID = 4")).toInt(),
             6);
    QCOMPARE(bank.column(QStringLiteral("question where PapIdx = 4"), QStringLiteral("QstCon"),
                         QStringLiteral("QstID")),
             (QStringList{redrawn[0].section(QLatin1Char('|'), 1, 1),
                          redrawn[1].section(QLatin1Char('|'), 1, 1),
                          redrawn[2].section(QLatin1Char('|'), 1, 1),
                          redrawn[3].section(QLatin1Char('|'), 1, 1)}));
    QCOMPARE(bank.column(QStringLiteral("question where PapIdx = 4"), QStringLiteral("QstIdx"),
                         QStringLiteral("QstID")),
             (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                          QStringLiteral("4")}));
    QCOMPARE(form.bank().CurPapID, 4);
    QCOMPARE(listNames(form)[selectedRow(form)], QStringLiteral("单元测验"));
    QCOMPARE(form.bank().TQuestion.recordCount(), 4);
    // The originals stay where they were.
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx in (1, 2, 3)")), 9);
}

void TestComposeWindow::tooFew() {
    Composing composing;
    EditorBank& bank = composing.bank;
    TMainForm& form = composing.form;
    tess::TFormCompose* window = openCompose(form);
    QVERIFY(window);
    // Six single-choice texts in the whole bank (A1 twice counts once).
    setRow(window, 0, QStringLiteral("单选题"), 10, 2);
    QTest::mouseClick(window->BtnDraw, Qt::LeftButton);
    QCOMPARE(
        window->LabelStatus->text(),
        QStringLiteral("题库里的题不够, 不能生成试卷:\n单选题 每题 2 分: 要 10 道, 所选的类别和"
                       "试卷里只有 6 道 (文字相同的题只算一道). 请减少题数, 或多选几个类别"
                       "和试卷."));
    QCOMPARE(window->GridDrawn->rowCount(), 6);
    QVERIFY(!window->BtnMake->isEnabled());
    grab(window, "compose-window-too-few.png");
    QTest::mouseClick(window->BtnMake, Qt::LeftButton);
    QCOMPARE(bank.count(QStringLiteral("paper")), 3);
    QVERIFY(messageArea(form)->toPlainText().isEmpty());

    // A changed request drops the draw; six can be drawn from one paper's list.
    typeNumber(rowCell<QSpinBox>(window, 0, 1), 2);
    QCOMPARE(window->GridDrawn->rowCount(), 0);
    QCOMPARE(window->LabelStatus->text(), QStringLiteral("要抽的题改了, 请重新按\"抽题\"."));
    typing::replaceText(window->EditPaperFilter, QStringLiteral("化学"));
    QCOMPARE(window->ListPapers->count(), 1);
    tick(window->ListPapers, QStringLiteral("化学期中"));
    window->EditPaperFilter->clear();
    QCOMPARE(window->ListPapers->count(), 3);
    QCOMPARE(window->ListPapers->item(1)->checkState(), Qt::Checked); // kept while filtered out
    typeNumber(rowCell<QSpinBox>(window, 0, 1), 3);
    QTest::mouseClick(window->BtnDraw, Qt::LeftButton);
    QVERIFY(window->LabelStatus->text().contains(QStringLiteral("只有 2 道")));
    // No rows: told what to do.
    window->GridRows->selectRow(0);
    QTest::mouseClick(window->BtnRemoveRow, Qt::LeftButton);
    QCOMPARE(window->GridRows->rowCount(), 0);
    QTest::mouseClick(window->BtnDraw, Qt::LeftButton);
    QCOMPARE(window->LabelStatus->text(),
             QStringLiteral("请先添加一行, 写明要抽的题型、题数和每题的分值."));
    QCOMPARE(bank.count(QStringLiteral("paper")), 3);
}

// The list shows a category; the new paper is in another: the list follows it.
void TestComposeWindow::newPaperInAnotherCategory() {
    Composing composing;
    TMainForm& form = composing.form;
    pickCategory(form, QStringLiteral("化学"));
    QCOMPARE(listNames(form), QStringList{QStringLiteral("化学期中")});
    tess::TFormCompose* window = openCompose(form);
    QVERIFY(window);
    QCOMPARE(window->CBPaperCategory->currentText(), QStringLiteral("化学"));
    typing::replaceText(window->EditName, QStringLiteral("判断练习"));
    typing::replaceText(window->CBPaperCategory->lineEdit(), QStringLiteral("练习"));
    setRow(window, 0, QStringLiteral("判断题"), 2, 1);
    QTest::mouseClick(window->BtnDraw, Qt::LeftButton);
    // A composed paper is a new paper: it takes the default page style.
    form.bank().Defaults.pageStyle = tess::PageStyle::Phone;
    QTest::mouseClick(window->BtnMake, Qt::LeftButton);
    QCOMPARE(composing.bank
                 .scalar(QStringLiteral("select style as v from paper_style where "
                                        "PapID = 4"))
                 .toInt(),
             1);
    QCOMPARE(form.navigator().CBPaperClass->currentText(), QStringLiteral("练习"));
    QCOMPARE(listNames(form), QStringList{QStringLiteral("判断练习")});
    QCOMPARE(selectedRow(form), 0);
    QCOMPARE(form.bank().CurPapID, 4);
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);
    QCOMPARE(composing.bank.scalar(QStringLiteral("select PapCtg as v from paper where PapID = 4"))
                 .toString(),
             QStringLiteral("练习"));
}

QTEST_MAIN(TestComposeWindow)
#include "tst_composewindow.moc"
