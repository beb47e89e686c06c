// The question and choice grids in the real main window, used by keys, clicks
// and the in-cell lists, asserted on the bank and the widgets.
#include "editorfixture.h"
#include "gridfixture.h"

#include "editor/recordnavigator.h"
#include "generate/publish.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSet>
#include <QToolButton>

using namespace gridtest;
using tess::CursorTableModel;
using tess::RecordGrid;

namespace {

enum QuestionColumn { kQstIdx, kQstTyp, kQstScr, kQstCon, kQstFlag };
enum ChoiceColumn { kChcIdx, kChcFlag, kChcCon };

// The grids' widgets, found by name as a screen reader or a test finds them.
struct Grids {
    explicit Grids(TMainForm& form) : form(form) {
        questions = form.findChild<RecordGrid*>(QStringLiteral("DBGridQuestion"));
        choices = form.findChild<RecordGrid*>(QStringLiteral("DBGridChoice"));
        type = form.findChild<QComboBox*>(QStringLiteral("CBEditor"));
        flag = form.findChild<QComboBox*>(QStringLiteral("CBTruOrFalse"));
        choiceFlag = form.findChild<QComboBox*>(QStringLiteral("CBTruOrFalse2"));
        questionCount = form.findChild<QLabel*>(QStringLiteral("LabelQuestion"));
        choiceCount = form.findChild<QLabel*>(QStringLiteral("LabelChoice"));
        dsQuestion = form.findChild<CursorTableModel*>(QStringLiteral("DSQuestion"));
        dsChoice = form.findChild<CursorTableModel*>(QStringLiteral("DSChoice"));
    }
    bool found() const {
        return questions && choices && type && flag && choiceFlag && questionCount && choiceCount &&
               dsQuestion && dsChoice;
    }
    TMainForm& form;
    RecordGrid* questions = nullptr;
    RecordGrid* choices = nullptr;
    QComboBox* type = nullptr;
    QComboBox* flag = nullptr;
    QComboBox* choiceFlag = nullptr;
    QLabel* questionCount = nullptr;
    QLabel* choiceCount = nullptr;
    CursorTableModel* dsQuestion = nullptr;
    CursorTableModel* dsChoice = nullptr;
};

void activate(TMainForm& form) {
    openBank(form);
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

void questionRow(const EditorBank& bank, int id, int paper, int number, const QString& type,
                 const QVariant& mark = QVariant(), bool flag = false,
                 const QString& text = QString()) {
    bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, "
                            "IsTrue) values (%1, %2, %3, %4, %5, %6, %7)")
                 .arg(id)
                 .arg(paper)
                 .arg(number)
                 .arg(banktest::quoted(type),
                      mark.isNull() ? QStringLiteral("null") : mark.toString(),
                      banktest::quoted(text))
                 .arg(flag ? 1 : 0));
}

QString questionField(const EditorBank& bank, int id, const char* column) {
    return bank
        .scalar(QStringLiteral("select %1 as v from question where QstID = %2")
                    .arg(QLatin1String(column))
                    .arg(id))
        .toString();
}

// Writes the main window to a picture when TESS_GRAB_DIR names a folder.
void grab(QWidget& window, const QString& name) {
    const QString dir = qEnvironmentVariable("TESS_GRAB_DIR");
    if (!dir.isEmpty())
        window.grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TestGrids : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { tess::Prompts::instance().clear(); }
    void emptyPaper();
    void addQuestionCopiesTheRowBefore();
    void refreshCases_data();
    void refreshCases();
    void typeBackAndForthKeepsChoicesAndFlag();
    void listOpensByKeyAndStaysOpen();
    void unknownTypeWord();
    void lettersInMarkAreRefusedAtPost();
    void downNeverAppends();
    void choicesNumberedAndDeleted();
    void questionDeletedByAnotherProgram();
    void publishingSavesWhatIsTyped();
    void insertPicture_data();
    void insertPicture();
    void typedTextSavedBeforeItsOwnerIsLeft_data();
    void typedTextSavedBeforeItsOwnerIsLeft();
    void connectionLostWhileTyping_data();
    void connectionLostWhileTyping();
    void accessibleNames();
    void bothGridsFilled();
    void countsShownWhole_data();
    void countsShownWhole();
};

void TestGrids::emptyPaper() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    TMainForm form;
    activate(form);
    Grids g(form);
    QVERIFY(g.found());
    QCOMPARE(g.questionCount->text(), QStringLiteral("共0道题目"));
    QCOMPARE(g.choiceCount->text(), QStringLiteral("共0个选项"));
    QVERIFY(!g.dsQuestion->isEnabled());
    QVERIFY(!g.dsChoice->isEnabled());
    QCOMPARE(g.questions->model()->rowCount(), 0);
    QVERIFY(form.OnAddQustion->isEnabled());
    QVERIFY(!form.OnDelQuestion->isEnabled());
    QVERIFY(!form.OnAddChoice->isEnabled());
    QVERIFY(!form.OnDelChoice->isEnabled());
    // Keys of an editable grid act only while there are questions.
    g.questions->setFocus();
    QTest::keyClick(g.questions, Qt::Key_Insert);
    QTest::keyClick(g.questions, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(bank.count(QStringLiteral("question")), 0);
    QCOMPARE(form.bank().TQuestion.recordCount(), 0);
}

void TestGrids::addQuestionCopiesTheRowBefore() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    TMainForm form;
    activate(form);
    Grids g(form);
    g.questions->setFocus();
    QTest::keyClick(g.questions, Qt::Key_F, Qt::ControlModifier);
    // The first question keeps the new record's values.
    QCOMPARE(
        bank.column(QStringLiteral("question"), QStringLiteral("QstTyp"), QStringLiteral("QstID")),
        QStringList{QStringLiteral("判断题")});
    QCOMPARE(questionField(bank, 1, "QstScr"), QString());
    QCOMPARE(form.bank().CurQstID, 1);
    QCOMPARE(g.questionCount->text(), QStringLiteral("共1道题目"));
    QVERIFY(g.dsQuestion->isEnabled());
    QVERIFY(form.OnDelQuestion->isEnabled());

    // The teacher makes it a single-choice question worth 5, then adds another.
    typeIntoCell(g.questions, 0, kQstScr, QStringLiteral("5"));
    clickCell(g.questions, 0, kQstTyp);
    pick(g.type, QStringLiteral("单选题"));
    g.questions->setFocus();
    QTest::keyClick(g.questions, Qt::Key_Right); // leaving the column posts
    QCOMPARE(questionField(bank, 1, "QstTyp"), QStringLiteral("单选题"));
    QCOMPARE(questionField(bank, 1, "QstScr"), QStringLiteral("5"));
    QTest::keyClick(g.questions, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(questionField(bank, 2, "QstTyp"), QStringLiteral("单选题"));
    QCOMPARE(questionField(bank, 2, "QstScr"), QStringLiteral("5"));
    QCOMPARE(questionField(bank, 2, "QstIdx"), QStringLiteral("2"));
    QCOMPARE(form.bank().CurQstID, 2);
    QCOMPARE(g.questions->currentIndex().row(), 1);       // the new question is current
    QCOMPARE(g.questions->currentColumn(), int(kQstScr)); // and the column stays
    QCOMPARE(messageArea(form)->toPlainText(), QString());
}

void TestGrids::refreshCases_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("choices");
    QTest::addColumn<bool>("typeJustPosted");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<bool>("canAdd");
    QTest::addColumn<bool>("canDelete");
    QTest::addColumn<bool>("flagListEnabled");

    QTest::newRow("choice question with choices")
        << QStringLiteral("单选题") << 2 << false << true << true << true << false;
    QTest::newRow("choice question without choices")
        << QStringLiteral("多选题") << 0 << false << false << true << false << false;
    QTest::newRow("true/false reached from another question, leftover choices")
        << QStringLiteral("判断题") << 2 << false << true << false << true << true;
    QTest::newRow("true/false whose type word was just posted")
        << QStringLiteral("判断题") << 2 << true << false << false << false << true;
}

void TestGrids::refreshCases() {
    QFETCH(QString, type);
    QFETCH(int, choices);
    QFETCH(bool, typeJustPosted);
    QFETCH(bool, shown);
    QFETCH(bool, canAdd);
    QFETCH(bool, canDelete);
    QFETCH(bool, flagListEnabled);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("判断题"));
    questionRow(bank, 2, 1, 2, typeJustPosted ? QStringLiteral("单选题") : type);
    for (int c = 1; c <= choices; ++c)
        bank.choice(10 + c, 2, c);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    // Reached from the question before it.
    clickCell(g.questions, 1, kQstCon);
    QCOMPARE(form.bank().CurQstID, 2);
    if (typeJustPosted) {
        clickCell(g.questions, 1, kQstTyp);
        pick(g.type, type);
        g.questions->setFocus();
        QTest::keyClick(g.questions, Qt::Key_Right);
        QCOMPARE(questionField(bank, 2, "QstTyp"), type);
    }
    QCOMPARE(g.dsChoice->isEnabled(), shown);
    QCOMPARE(g.choices->model()->rowCount(), shown ? choices : 0);
    QCOMPARE(form.OnAddChoice->isEnabled(), canAdd);
    QCOMPARE(form.OnDelChoice->isEnabled(), canDelete);
    QCOMPARE(g.flag->isEnabled(), flagListEnabled);
    QVERIFY(g.choiceFlag->isEnabled()); // always
    QCOMPARE(g.choiceCount->text(), QStringLiteral("共%1个选项").arg(choices));
    // Leftover choices stay in the bank whatever shows.
    QCOMPARE(bank.count(QStringLiteral("choice where QstIdx = 2")), choices);
}

void TestGrids::typeBackAndForthKeepsChoicesAndFlag() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("单选题"), 4, true);
    questionRow(bank, 2, 1, 2, QStringLiteral("判断题"));
    bank.choice(11, 1, 1);
    bank.choice(12, 1, 2);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    QCOMPARE(g.choices->model()->rowCount(), 2);
    clickCell(g.questions, 0, kQstTyp);
    pick(g.type, QStringLiteral("判断题"));
    g.questions->setFocus();
    QTest::keyClick(g.questions, Qt::Key_Right);
    QCOMPARE(g.choices->model()->rowCount(), 0); // hidden at once
    // Away and back: the leftovers show and can be deleted, not added to.
    clickCell(g.questions, 1, kQstFlag);
    clickCell(g.questions, 0, kQstFlag);
    QCOMPARE(g.choices->model()->rowCount(), 2);
    QVERIFY(form.OnDelChoice->isEnabled());
    QVERIFY(!form.OnAddChoice->isEnabled());
    // And back to a choice question: the same choices, the flag untouched.
    clickCell(g.questions, 0, kQstTyp);
    pick(g.type, QStringLiteral("单选题"));
    g.questions->setFocus();
    QTest::keyClick(g.questions, Qt::Key_Left);
    QCOMPARE(questionField(bank, 1, "QstTyp"), QStringLiteral("单选题"));
    QCOMPARE(bank.count(QStringLiteral("question where QstID = 1 and IsTrue = 1")), 1);
    QCOMPARE(bank.count(QStringLiteral("choice where QstIdx = 1")), 2);
    QVERIFY(form.OnAddChoice->isEnabled());
}

void TestGrids::listOpensByKeyAndStaysOpen() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("判断题"), 3);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    clickCell(g.questions, 0, kQstTyp);
    QTest::keyClick(g.questions, Qt::Key_Space);
    QTRY_VERIFY(g.type->view()->isVisible());
    QVERIFY(g.type->isVisible());
    // Chosen in the drop-down with the keys, then stored when the column is left.
    QTest::keyClick(g.type->view(), Qt::Key_Down);
    QTest::keyClick(g.type->view(), Qt::Key_Return);
    QTRY_VERIFY(!g.type->view()->isVisible());
    QCOMPARE(g.type->currentText(), QStringLiteral("单选题"));
    QCOMPARE(form.bank().TQuestion.asString(QStringLiteral("QstTyp")), QStringLiteral("单选题"));
    QTRY_VERIFY(g.questions->hasFocus()); // the keyboard is back in the grid
    QTest::keyClick(g.questions, Qt::Key_Right);
    QCOMPARE(questionField(bank, 1, "QstTyp"), QStringLiteral("单选题"));
    // Over a choice question the flag list is greyed and does not open.
    QTest::keyClick(g.questions, Qt::Key_Right);
    QTest::keyClick(g.questions, Qt::Key_Right);
    QVERIFY(!g.flag->isEnabled());
    QTest::keyClick(g.questions, Qt::Key_Space);
    QVERIFY(!g.flag->view()->isVisible());
    QCOMPARE(messageArea(form)->toPlainText(), QString());
}

void TestGrids::unknownTypeWord() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("填空题"), 3);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    // Counts as a choice question.
    QVERIFY(form.OnAddChoice->isEnabled());
    QVERIFY(!g.flag->isEnabled());
    clickCell(g.questions, 0, kQstTyp);
    QVERIFY(g.type->isVisible());
    QCOMPARE(g.type->currentIndex(), -1);
    QCOMPARE(g.type->geometry(), listPlace(g.questions, part<QWidget>(form, "PnlQuestion")));
    QTest::keyClick(g.questions, Qt::Key_Right);
    QVERIFY(!g.type->isVisible());
    QCOMPARE(questionField(bank, 1, "QstTyp"), QStringLiteral("填空题"));
    QCOMPARE(messageArea(form)->toPlainText(), QString());
}

void TestGrids::lettersInMarkAreRefusedAtPost() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("判断题"), 3);
    questionRow(bank, 2, 1, 2, QStringLiteral("判断题"), 3);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    typeIntoCell(g.questions, 0, kQstScr, QStringLiteral("5a"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    // Reported, not stored, and the row keeps what was typed.
    QVERIFY2(messageArea(form)->toPlainText().startsWith(QStringLiteral("程序运行错误:")),
             qPrintable(messageArea(form)->toPlainText()));
    QCOMPARE(questionField(bank, 1, "QstScr"), QStringLiteral("3"));
    QVERIFY(form.bank().TQuestion.isEditing());
    QCOMPARE(form.bank().TQuestion.recNo(), 0);
    QCOMPARE(form.bank().TQuestion.asString(QStringLiteral("QstScr")), QStringLiteral("5a"));
    QCOMPARE(g.questions->currentIndex().row(), 0);
    // Esc drops the row's changes.
    g.questions->setFocus();
    QTest::keyClick(g.questions, Qt::Key_Escape);
    QVERIFY(!form.bank().TQuestion.isEditing());
    QCOMPARE(form.bank().TQuestion.asString(QStringLiteral("QstScr")), QStringLiteral("3"));
}

void TestGrids::downNeverAppends() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("单选题"), 3);
    questionRow(bank, 2, 1, 2, QStringLiteral("判断题"), 3);
    bank.choice(11, 1, 1);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    clickCell(g.questions, 0, kQstCon);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(g.questions, Qt::Key_Down, i == 2 ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(form.bank().TQuestion.recNo(), 1);
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);
    QCOMPARE(g.questions->currentIndex().row(), 1);
    QCOMPARE(bank.count(QStringLiteral("question")), 2);
    QCOMPARE(form.bank().CurQstID, 2);
    // The same in the choice grid, whose current choice is always being edited.
    clickCell(g.questions, 0, kQstCon);
    clickCell(g.choices, 0, kChcCon);
    QTest::keyClick(g.choices, Qt::Key_Down);
    QCOMPARE(form.bank().TChoice.recordCount(), 1);
    QCOMPARE(bank.count(QStringLiteral("choice")), 1);
    QCOMPARE(messageArea(form)->toPlainText(), QString());
}

void TestGrids::choicesNumberedAndDeleted() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("单选题"), 3);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    g.questions->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(g.questions, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(
        bank.column(QStringLiteral("choice"), QStringLiteral("ChcIdx"), QStringLiteral("ChcID")),
        (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(g.choiceCount->text(), QStringLiteral("共3个选项"));
    // Two correct answers for a single-choice question are taken without a word.
    for (int row : {0, 2}) {
        clickCell(g.choices, row, kChcFlag);
        QVERIFY(g.choiceFlag->isVisible());
        QCOMPARE(g.choiceFlag->geometry(), listPlace(g.choices, part<QWidget>(form, "PnlChoice")));
        pick(g.choiceFlag, QStringLiteral("正确"));
        g.choices->setFocus();
        QTest::keyClick(g.choices, Qt::Key_Right);
    }
    QCOMPARE(
        bank.column(QStringLiteral("choice"), QStringLiteral("IsTrue"), QStringLiteral("ChcID")),
        (QStringList{QStringLiteral("True"), QStringLiteral("False"), QStringLiteral("True")}));
    // The middle one goes; the gap stays and the next choice gets 4.
    clickCell(g.choices, 1, kChcCon);
    form.OnDelChoice->trigger();
    QCOMPARE(
        bank.column(QStringLiteral("choice"), QStringLiteral("ChcIdx"), QStringLiteral("ChcID")),
        (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
    g.choices->setFocus();
    QTest::keyClick(g.choices, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(
        bank.column(QStringLiteral("choice"), QStringLiteral("ChcIdx"), QStringLiteral("ChcID")),
        (QStringList{QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4")}));
    QCOMPARE(messageArea(form)->toPlainText(), QString());
}

void TestGrids::questionDeletedByAnotherProgram() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("判断题"), 3);
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    bank.sql(QStringLiteral("delete from question where QstID = 1"));
    typeIntoCell(g.questions, 0, kQstCon, QStringLiteral("new text"));
    messageArea(form)->setFocus(); // leaving the grid posts
    QVERIFY2(messageArea(form)->toPlainText().contains(QStringLiteral("另一个程序删除")),
             qPrintable(messageArea(form)->toPlainText()));
    QCOMPARE(bank.count(QStringLiteral("question")), 0);
    QVERIFY(form.bank().TQuestion.isEditing()); // the text is still there to copy
}

void TestGrids::publishingSavesWhatIsTyped() {
    EditorBank bank;
    auto setup = bank.setupRows();
    const QString page = bank.dir.filePath(QStringLiteral("quiz.html"));
    bank.paper(1, QStringLiteral("甲"), QVariant(), 5, page);
    questionRow(bank, 1, 1, 1, QStringLiteral("判断题"), 5, true, QStringLiteral("old"));
    setup.commit();
    TMainForm form;
    struct : tess::PageOpener {
        void open(const QString&) override {}
    } opener;
    form.SetPageOpener(&opener);
    activate(form);
    Grids g(form);
    typeIntoCell(g.questions, 0, kQstCon, QStringLiteral("typed just now"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(questionField(bank, 1, "QstCon"), QStringLiteral("typed just now"));
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("typed just now"));
}

namespace {

// A right click on the grid opens its pop-up menu; its last entry inserts a
// picture. Returns whether that entry could be chosen.
bool chooseInsertPicture(RecordGrid* grid, QMenu* menu, QAction* entry) {
    const QPoint pos = grid->visualRect(grid->currentIndex()).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, pos, grid->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(grid->viewport(), &click);
    if (!QTest::qWaitFor([menu] { return menu->isVisible(); }) || menu->actions().last() != entry)
        return false;
    const bool enabled = entry->isEnabled();
    if (enabled)
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    menu->close();
    return enabled;
}

} // namespace

void TestGrids::insertPicture_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("text"); // what the record holds afterwards; %1 is the tag
    QTest::addColumn<bool>("copied");
    QTest::addColumn<QString>("message");

    QTest::newRow("after the words of a question")
        << "question" << true << QStringLiteral("地图:%1") << true << QString();
    QTest::newRow("text being typed is saved first")
        << "typing" << true << QStringLiteral("新写的%1") << true << QString();
    QTest::newRow("empty grid, text column still current: a new question")
        << "empty" << true << QStringLiteral("%1") << true << QString();
    QTest::newRow("after the words of a choice")
        << "choice" << true << QStringLiteral("北京%1") << true << QString();
    QTest::newRow("not the text column: not offered")
        << "mark column" << false << QStringLiteral("地图:") << false << QString();
    QTest::newRow("choices of a true/false question are hidden: not offered")
        << "hidden choice" << false << QStringLiteral("北京") << false << QString();
    QTest::newRow("dialog cancelled")
        << "cancel" << true << QStringLiteral("地图:") << false << QString();
    QTest::newRow("a copy that failed is told, the tag goes in")
        << "missing" << true << QStringLiteral("地图:%1") << false
        << QStringLiteral("没有复制到图片文件夹");
}

void TestGrids::insertPicture() {
    QFETCH(QString, situation);
    QFETCH(bool, offered);
    QFETCH(QString, text);
    QFETCH(bool, copied);
    QFETCH(QString, message);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("单选题"), 3, false, QStringLiteral("地图:"));
    bank.sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values (1, 1, 1, "
                            "'北京')"));
    const QString picture = bank.dir.filePath(QStringLiteral("我的 地图.png"));
    {
        QFile file(picture);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not really a png, but a picture file all the same");
    }
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    const bool onChoice =
        situation == QLatin1String("choice") || situation == QLatin1String("hidden choice");
    RecordGrid* grid = onChoice ? g.choices : g.questions;
    clickCell(grid, 0, onChoice ? int(kChcCon) : int(kQstCon));
    if (situation == QLatin1String("typing"))
        typeIntoCell(g.questions, 0, kQstCon, QStringLiteral("新写的"));
    if (situation == QLatin1String("empty")) {
        form.OnDelQuestion->trigger();
        QCOMPARE(g.questions->model()->rowCount(), 0);
    }
    if (situation == QLatin1String("mark column"))
        clickCell(grid, 0, kQstScr);
    if (situation == QLatin1String("hidden choice")) {
        clickCell(g.choices, 0, kChcCon);
        clickCell(g.questions, 0, kQstTyp);
        pick(g.type, QStringLiteral("判断题"));
        g.questions->setFocus();
        QTest::keyClick(g.questions, Qt::Key_Right);
        QCOMPARE(g.choices->model()->rowCount(), 0);
        grid = g.choices;
    }
    // The grid remembers its column without the focus; text being typed keeps
    // its editor open while the menu is used.
    if (situation != QLatin1String("typing"))
        messageArea(form)->setFocus();
    if (situation == QLatin1String("cancel"))
        tess::Prompts::instance().queueFile(QString());
    else if (situation == QLatin1String("missing"))
        tess::Prompts::instance().queueFile(
            bank.dir.filePath(QStringLiteral("我的 地图.png.gone")));
    else
        tess::Prompts::instance().queueFile(picture);
    QMenu* menu = onChoice ? form.PopMenuChoice : form.PopMenuQuestion;
    QAction* entry = onChoice ? form.OnInsertImageChc : form.OnInsertImage;
    QCOMPARE(chooseInsertPicture(grid, menu, entry), offered);
    if (!offered)
        tess::Prompts::instance().clear();
    messageArea(form)->setFocus(); // an editor still open would write now

    const QString name = situation == QLatin1String("missing")
                             ? QStringLiteral("我的 地图.png.gone")
                             : QStringLiteral("我的 地图.png");
    const QString tag = QStringLiteral("<IMG SRC=\"images\\") + name + QStringLiteral("\">");
    const QString expected = text.contains(QLatin1String("%1")) ? text.arg(tag) : text;
    const QString stored =
        bank.scalar(onChoice
                        ? QStringLiteral("select ChcCon as v from choice")
                        : QStringLiteral("select QstCon as v from question order by QstID desc"))
            .toString();
    QCOMPARE(stored, expected);
    if (situation == QLatin1String("empty"))
        QCOMPARE(bank.count(QStringLiteral("question where QstTyp = '判断题' and PapIdx = 1")), 1);
    QCOMPARE(QFile::exists(QDir(tess::ProgramFiles::PicturesFolder()).filePath(name)), copied);
    // A server bank keeps the copied picture for the other teachers' machines.
    if (banktest::onServer())
        QCOMPARE(bank.count(QStringLiteral("picture where name = '我的 地图.png'")),
                 copied ? 1 : 0);
    if (message.isEmpty())
        QCOMPARE(messageArea(form)->toPlainText(), QString());
    else
        QVERIFY2(messageArea(form)->toPlainText().contains(message),
                 qPrintable(messageArea(form)->toPlainText()));
    QVERIFY(!form.bank().TQuestion.isEditing());
}

// Text typed into a cell, or a list's pick, is saved when a command or a
// button without the focus moves on from the question or paper it belongs to.
void TestGrids::typedTextSavedBeforeItsOwnerIsLeft_data() {
    QTest::addColumn<QString>("typed"); // "choice text", "choice flag", "question text"
    QTest::addColumn<QString>("then");  // "next question button", "Ctrl+F", "Ctrl+D"
    QTest::newRow("choice text, the question navigator's next") << "choice text"
                                                                << "next question button";
    QTest::newRow("choice text, Ctrl+F") << "choice text"
                                         << "Ctrl+F";
    QTest::newRow("choice flag picked, Ctrl+F") << "choice flag"
                                                << "Ctrl+F";
    QTest::newRow("question text, Ctrl+D") << "question text"
                                           << "Ctrl+D";
}

void TestGrids::typedTextSavedBeforeItsOwnerIsLeft() {
    QFETCH(QString, typed);
    QFETCH(QString, then);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("单选题"), 3, false, QStringLiteral("q1"));
    questionRow(bank, 2, 1, 2, QStringLiteral("单选题"), 3, false, QStringLiteral("q2"));
    bank.sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values (1, 1, 1, "
                            "'c1')"));
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    QWidget* keys = nullptr;
    if (typed == QLatin1String("choice text")) {
        typeIntoCell(g.choices, 0, kChcCon, QStringLiteral("typed"));
        keys = QApplication::focusWidget(); // the open cell editor
    } else if (typed == QLatin1String("choice flag")) {
        clickCell(g.choices, 0, kChcFlag);
        pick(g.choiceFlag, QStringLiteral("正确"));
        keys = g.choiceFlag;
    } else {
        typeIntoCell(g.questions, 0, kQstCon, QStringLiteral("typed"));
        keys = QApplication::focusWidget();
    }
    if (then == QLatin1String("next question button"))
        form.findChild<QWidget*>(QStringLiteral("DBNavigator1"))
            ->findChild<QToolButton*>(QStringLiteral("Next"))
            ->click();
    else if (then == QLatin1String("Ctrl+F"))
        QTest::keyClick(keys, Qt::Key_F, Qt::ControlModifier);
    else
        QTest::keyClick(keys, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(messageArea(form)->toPlainText(), QString());
    if (typed == QLatin1String("choice text"))
        QCOMPARE(bank.scalar(QStringLiteral("select ChcCon as v from choice")).toString(),
                 QStringLiteral("typed"));
    else if (typed == QLatin1String("choice flag"))
        QCOMPARE(bank.count(QStringLiteral("choice where IsTrue = 1")), 1);
    else
        QCOMPARE(questionField(bank, 1, "QstCon"), QStringLiteral("typed"));
}

void TestGrids::connectionLostWhileTyping_data() {
    QTest::addColumn<QString>("grid"); // "question" or "choice"
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("again"); // how the teacher posts once more
    QTest::newRow("question text, Down") << "question" << int(kQstCon) << "QstCon"
                                         << "地球是圆的"
                                         << "Down";
    QTest::newRow("question mark, post button") << "question" << int(kQstScr) << "QstScr"
                                                << "7"
                                                << "Post";
    QTest::newRow("question text, Ctrl+F") << "question" << int(kQstCon) << "QstCon"
                                           << "地球是圆的"
                                           << "Ctrl+F";
    QTest::newRow("question text, dropped by Esc") << "question" << int(kQstCon) << "QstCon"
                                                   << "地球是圆的"
                                                   << "Esc";
    QTest::newRow("choice text, Down") << "choice" << int(kChcCon) << "ChcCon"
                                       << "北京"
                                       << "Down";
    QTest::newRow("choice text, question's next button") << "choice" << int(kChcCon) << "ChcCon"
                                                         << "北京"
                                                         << "Next";
}

// The connection to a server bank breaks while the teacher types: the post
// fails, what was typed stays in the grid and is not reported saved, the
// message says so and what to do; posting again, the connection made anew,
// saves it.
void TestGrids::connectionLostWhileTyping() {
    if (!banktest::onServer())
        QSKIP("a bank file has no connection to lose");
    QFETCH(QString, grid);
    QFETCH(int, column);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, again);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("甲"));
    questionRow(bank, 1, 1, 1, QStringLiteral("单选题"), 3, false, QStringLiteral("q1"));
    questionRow(bank, 2, 1, 2, QStringLiteral("单选题"), 3, false, QStringLiteral("q2"));
    bank.sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, ChcCon) values (1, 1, 1, "
                            "'c1'), (2, 1, 2, 'c2')"));
    setup.commit();
    TMainForm form;
    activate(form);
    Grids g(form);
    RecordGrid* target = grid == QLatin1String("question") ? g.questions : g.choices;
    CursorTableModel* source = grid == QLatin1String("question") ? g.dsQuestion : g.dsChoice;
    tess::TableCursor& cursor =
        grid == QLatin1String("question") ? form.bank().TQuestion : form.bank().TChoice;
    const QString record = grid == QLatin1String("question")
                               ? QStringLiteral("question where QstID = 1")
                               : QStringLiteral("choice where ChcID = 1");
    auto inBank = [&] {
        return bank.scalar(QStringLiteral("select %1 as v from %2").arg(field, record)).toString();
    };
    const QString before = inBank();

    typeIntoCell(target, 0, column, typed);
    banktest::cutConnections(tess::ProgramFiles::PaperBankPath());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);

    const QString said = messageArea(form)->toPlainText();
    QVERIFY2(said.contains(QStringLiteral("连接断开")) && said.contains(QStringLiteral("没有保存")),
             qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("还在表格中")), qPrintable(said));
    grab(form,
         QStringLiteral("grid-connection-lost-") + QString::fromUtf8(QTest::currentDataTag()));
    QCOMPARE(inBank(), before);
    QVERIFY(cursor.isEditing());
    QCOMPARE(cursor.recNo(), 0);
    QCOMPARE(source->index(0, column).data().toString(), typed);
    QCOMPARE(target->currentIndex().row(), 0);

    messageArea(form)->clear();
    target->setFocus();
    if (again == QLatin1String("Esc")) {
        // Dropped by the teacher: nothing saved, and nothing said to be.
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!cursor.isEditing());
        typeIntoCell(target, 0, column, QStringLiteral("另写的"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY2(messageArea(form)->toPlainText().isEmpty(),
                 qPrintable(messageArea(form)->toPlainText()));
        QCOMPARE(inBank(), QStringLiteral("另写的"));
        return;
    }
    // Saved at the next post, the connection made again.
    if (again == QLatin1String("Down"))
        QTest::keyClick(target, Qt::Key_Down);
    else if (again == QLatin1String("Ctrl+F"))
        QTest::keyClick(target, Qt::Key_F, Qt::ControlModifier);
    else
        form.findChild<QWidget*>(
                again == QLatin1String("Post")
                    ? QStringLiteral("DBNavigator") +
                          QString::number(grid == QLatin1String("question") ? 1 : 2)
                    : QStringLiteral("DBNavigator1"))
            ->findChild<QToolButton*>(again)
            ->click();
    QCOMPARE(messageArea(form)->toPlainText(),
             QStringLiteral("与试题库服务器的连接已经恢复, 刚才留在表格中的内容现在保存好了."));
    QCOMPARE(inBank(), typed);
    QVERIFY(!cursor.isEditing() || cursor.recNo() != 0);
    if (again != QLatin1String("Next"))
        QCOMPARE(source->index(0, column).data().toString(), typed);
}

void TestGrids::accessibleNames() {
    EditorBank bank;
    bank.paper(1, QStringLiteral("甲"));
    TMainForm form;
    openBank(form);
    QStringList names;
    for (const char* name :
         {"DBGridQuestion", "DBGridChoice", "CBEditor", "CBTruOrFalse", "CBTruOrFalse2",
          "DBNavigator1", "DBNavigator2", "ListView", "CBPaperClass", "MessageArea"}) {
        auto* widget = form.findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(widget, name);
        QVERIFY2(!widget->accessibleName().isEmpty(), name);
        names << widget->accessibleName();
    }
    QCOMPARE(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    for (const char* name : {"DBNavigator1", "DBNavigator2"}) {
        const auto buttons =
            form.findChild<QWidget*>(QLatin1String(name))->findChildren<QToolButton*>();
        QCOMPARE(buttons.size(), 6);
        QStringList hints;
        for (const QToolButton* b : buttons)
            hints << b->accessibleName();
        QCOMPARE(hints,
                 (QStringList{QStringLiteral("第一条记录"), QStringLiteral("前一条记录"),
                              QStringLiteral("后一条记录"), QStringLiteral("最后一条记录"),
                              QStringLiteral("保存对当前记录的修改"), QStringLiteral("刷新数据")}));
    }
}

void TestGrids::bothGridsFilled() {
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("地理单元测验"));
    bank.paper(2, QStringLiteral("物理期中考试"));
    questionRow(bank, 1, 1, 1, QStringLiteral("判断题"), 10, true,
                QStringLiteral("地球绕太阳公转一周约为一年."));
    questionRow(bank, 2, 1, 2, QStringLiteral("单选题"), 20, false,
                QStringLiteral("下列哪个城市是中国的首都?"));
    questionRow(bank, 3, 1, 3, QStringLiteral("多选题"), 20, false,
                QStringLiteral("下列哪些是<b>行星</b>?"));
    const QStringList cities{QStringLiteral("上海"), QStringLiteral("北京"), QStringLiteral("广州"),
                             QStringLiteral("深圳")};
    for (int c = 0; c < cities.size(); ++c)
        bank.sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) "
                                "values (%1, 2, %2, %3, '%4')")
                     .arg(10 + c)
                     .arg(c + 1)
                     .arg(c == 1 ? 1 : 0)
                     .arg(cities[c]));
    setup.commit();
    TMainForm form;
    form.resize(900, 640);
    activate(form);
    Grids g(form);
    clickCell(g.questions, 1, kQstTyp);
    QCOMPARE(g.choices->model()->rowCount(), 4);
    QVERIFY(g.type->isVisible());
    QCOMPARE(g.type->currentText(), QStringLiteral("单选题"));
    QCOMPARE(g.type->geometry(), listPlace(g.questions, part<QWidget>(form, "PnlQuestion")));
    QTest::qWait(50);
    grab(form, QStringLiteral("grids"));
    clickCell(g.choices, 1, kChcFlag);
    QCOMPARE(g.choiceFlag->currentText(), QStringLiteral("正确"));
    QTest::qWait(50);
    grab(form, QStringLiteral("grids-choice-flag"));
}

void TestGrids::countsShownWhole_data() {
    QTest::addColumn<int>("before"); // questions of the paper, and choices of its first
    QTest::newRow("9 become 10") << 9;
    QTest::newRow("999 become 1000") << 999;
}

// The status texts under the grids take the room they need, also when the
// count gains a digit after the window was laid out: nothing of "共10道题目"
// is cut off.
void TestGrids::countsShownWhole() {
    QFETCH(int, before);
    EditorBank bank;
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中"));
    for (int i = 1; i <= before; ++i)
        questionRow(bank, i, 1, i, QStringLiteral("单选题"), 2);
    for (int c = 1; c <= before; ++c)
        bank.choice(c, 1, c);
    setup.commit();
    TMainForm form;
    form.resize(1280, 800);
    activate(form);
    Grids g(form);
    QCOMPARE(g.questionCount->text(), QStringLiteral("共%1道题目").arg(before));
    QCOMPARE(g.choiceCount->text(), QStringLiteral("共%1个选项").arg(before));
    const auto shownWhole = [](QLabel* label, const QString& text) {
        QCOMPARE(label->text(), text);
        QTRY_VERIFY2(label->width() >= label->sizeHint().width(),
                     qPrintable(QStringLiteral("%1: %2 wide, needs %3")
                                    .arg(text)
                                    .arg(label->width())
                                    .arg(label->sizeHint().width())));
        QCOMPARE(label->visibleRegion().boundingRect().size(), label->size());
    };
    form.OnAddChoice->trigger();
    shownWhole(g.choiceCount, QStringLiteral("共%1个选项").arg(before + 1));
    form.OnAddQustion->trigger();
    shownWhole(g.questionCount, QStringLiteral("共%1道题目").arg(before + 1));
    QCOMPARE(form.width(), 1280);
    grab(form, QStringLiteral("counts-%1").arg(before + 1));
}

QTEST_MAIN(TestGrids)
#include "tst_grids.moc"
