// The editable grid alone: a pane holding a grid over a real question cursor
// on a fresh bank, with its navigator, used by keys, clicks and the in-cell
// lists, asserted on the cursor, the bank and the widgets.
#include "gridfixture.h"

#include "bankhelpers.h"
#include "editor/recordnavigator.h"
#include "editor/truorfalse.h"
#include "store/connection.h"
#include "store/tablecursor.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

using namespace gridtest;
using namespace tess;
using namespace Qt::StringLiterals;

namespace {

// As the question grid shows its cursor.
const QVector<GridColumn> kColumns{{u"QstIdx"_s, u"题目序号"_s, 56, Qt::AlignRight},
                                   {u"QstTyp"_s, u"题目类型"_s, 56, Qt::AlignLeft},
                                   {u"QstScr"_s, u"分值"_s, 30, Qt::AlignRight},
                                   {u"QstCon"_s, u"题目内容"_s, 250, Qt::AlignLeft},
                                   {u"IsTrue"_s, u"是否正确"_s, 70, Qt::AlignLeft}};
enum Column { Number, Type, Score, Content, Flag };
const QStringList kTypes{u"判断题"_s, u"单选题"_s, u"多选题"_s};

// A grid in a pane, as the main window lays one out, with a navigator under
// it and a field elsewhere to take the focus. The bank holds `rows` questions
// of paper 1: QstID = QstIdx = row + 1, the types in turn, contents c1, c2,
// ..., the first one correct and then alternately.
struct Pane {
    explicit Pane(int rows = 4) {
        banktest::freshBank(dir.filePath(u"bank.mdb"_s));
        banktest::openConnection(conn, dir.filePath(u"bank.mdb"_s));
        QStringList values;
        for (int i = 0; i < rows; ++i)
            values << u"(%1, 1, %1, '%2', 5, 'c%1', %3)"_s.arg(i + 1)
                          .arg(kTypes[i % 3])
                          .arg(i % 2 == 0 ? 1 : 0);
        if (rows > 0)
            conn.execute(u"begin; insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, "
                         "QstCon, IsTrue) values "_s +
                         values.join(u", "_s) + u"; commit;"_s);
        // A new question is numbered as the main window numbers it.
        cursor.addHandler(CursorEvent::AfterInsert, [this] {
            const int next =
                banktest::scalar(conn, u"select coalesce(max(QstID), 0) + 1 as v from question"_s)
                    .toInt();
            cursor.setInteger(u"QstID"_s, next);
            cursor.setInteger(u"PapIdx"_s, 1);
            cursor.setInteger(u"QstIdx"_s, next);
        });
        cursor.addHandler(CursorEvent::AfterPost, [this] { ++posts; });
        model.setGuard([this](const std::function<void()>& fn) {
            try {
                fn();
            } catch (const std::exception& e) {
                errors << QString::fromUtf8(e.what());
            }
        });

        auto* layout = new QVBoxLayout(&pane);
        grid = new RecordGrid(model, &pane);
        grid->setObjectName(u"DBGridQuestion"_s);
        navigator = new RecordNavigator(model, &pane);
        elsewhere = new QLineEdit(&pane);
        layout->addWidget(grid);
        layout->addWidget(navigator);
        layout->addWidget(elsewhere);
        const auto same = [](const QString& text) { return text; };
        type =
            grid->addList({u"QstTyp"_s, kTypes, u"CBEditor"_s, u"题目类型"_s, same, same, false});
        flag = grid->addList({u"IsTrue"_s,
                              {u"正确"_s, u"错误"_s},
                              u"CBTruOrFalse"_s,
                              u"是否正确"_s,
                              FieldToTruOrFalse,
                              TruOrFalseToField,
                              true});
        // Narrower than the columns, so that the grid scrolls sideways.
        pane.resize(400, 260);
    }

    // Opens the cursor and shows the pane as the active window.
    bool show() {
        cursor.open();
        pane.show();
        pane.activateWindow();
        return QTest::qWaitForWindowActive(&pane);
    }

    QString stored(int id, const QString& column) {
        return banktest::scalar(
                   conn, u"select %1 as v from question where QstID = %2"_s.arg(column).arg(id))
            .toString();
    }
    // Every question's content in the bank, in identifier order.
    QString bankContents() {
        return banktest::scalar(conn, u"select group_concat(coalesce(QstCon, ''), ',') as v from "
                                      "(select QstCon from question order by QstID)"_s)
            .toString();
    }
    // What the grid's rows show in a column.
    QString shownContents(int column = Content) const {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.index(row, column).data().toString();
        return out.join(u","_s);
    }
    QRect cellRect(int row, int column) const { return grid->visualRect(cell(grid, row, column)); }
    // Paints what scrolling or resizing made stale: the lists move as the grid paints.
    void settle() const {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    // Destroyed in reverse: the widgets go before the model, the cursor and the bank.
    QStringList errors;
    int posts = 0;
    QTemporaryDir dir;
    Connection conn;
    TableCursor cursor{conn, u"question"_s};
    CursorTableModel model{cursor, kColumns};
    QWidget pane;
    RecordGrid* grid = nullptr;
    RecordNavigator* navigator = nullptr;
    QLineEdit* elsewhere = nullptr;
    QComboBox* type = nullptr;
    QComboBox* flag = nullptr;
};

using Action = std::function<void(Pane&)>;

// The names of the navigator's buttons that can act now.
QString enabledButtons(const Pane& p) {
    QStringList names;
    for (int i = 0; i < RecordNavigator::ButtonCount; ++i) {
        const QToolButton* button = p.navigator->button(RecordNavigator::Button(i));
        if (button->isEnabled())
            names << button->objectName();
    }
    return names.join(u' ');
}

void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), k, mods);
}

// Enter in a cell editor: the delegate commits and closes it by a queued call.
void enter() {
    key(Qt::Key_Return);
    QCoreApplication::processEvents();
}

// Typed into the content cell of row and committed into the record by Enter.
void typeCommitted(Pane& p, int row, const QString& text) {
    typeIntoCell(p.grid, row, Content, text);
    enter();
}

QString contents(const QStringList& texts) {
    return texts.join(u","_s);
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(tess::CursorState)

class TestRecordGrid : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void downKey_data();
    void downKey();
    void editKeys_data();
    void editKeys();
    void keysInertWhileDisabled_data();
    void keysInertWhileDisabled();

    void enteringListColumn_data();
    void enteringListColumn();
    void pickedItemPostedOnLeaving_data();
    void pickedItemPostedOnLeaving();
    void listLosingFocus_data();
    void listLosingFocus();
    void listPlacement_data();
    void listPlacement();
    void listOutOfSight_data();
    void listOutOfSight();
    void disabledListCannotOpen_data();
    void disabledListCannotOpen();

    void navigator_data();
    void navigator();

    void oneLineCells_data();
    void oneLineCells();
};

// --- keys ---------------------------------------------------------------------------

void TestRecordGrid::downKey_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<QString>("typed");   // into the start row's content; "" types nothing
    QTest::addColumn<bool>("editorOpen"); // Down pressed inside the cell editor
    QTest::addColumn<int>("row");         // the current record after Down
    QTest::addColumn<int>("posts");
    QTest::addColumn<QString>("stored"); // the start record's content in the bank

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    QTest::newRow("middle") << 1 << none << QString() << false << 2 << 0 << u"c2"_s;
    QTest::newRow("last row stays") << 3 << none << QString() << false << 3 << 0 << u"c4"_s;
    QTest::newRow("Shift") << 1 << Qt::KeyboardModifiers(Qt::ShiftModifier) << QString() << false
                           << 2 << 0 << u"c2"_s;
    QTest::newRow("Ctrl") << 1 << Qt::KeyboardModifiers(Qt::ControlModifier) << QString() << false
                          << 2 << 0 << u"c2"_s;
    QTest::newRow("Alt") << 1 << Qt::KeyboardModifiers(Qt::AltModifier) << QString() << false << 2
                         << 0 << u"c2"_s;
    QTest::newRow("Ctrl on the last row") << 3 << Qt::KeyboardModifiers(Qt::ControlModifier)
                                          << QString() << false << 3 << 0 << u"c4"_s;
    QTest::newRow("changed row posted first")
        << 1 << none << u"typed"_s << false << 2 << 1 << u"typed"_s;
    QTest::newRow("typed text in an open editor posted")
        << 1 << none << u"typed"_s << true << 2 << 1 << u"typed"_s;
    QTest::newRow("Shift in an open editor") << 1 << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                             << u"typed"_s << true << 2 << 1 << u"typed"_s;
    QTest::newRow("changed last row posted, nothing appended")
        << 3 << none << u"typed"_s << true << 3 << 1 << u"typed"_s;
    // Retyping what the field holds changes nothing: the edit state is dropped.
    QTest::newRow("unchanged row's edit state dropped")
        << 1 << none << u"c2"_s << true << 2 << 0 << u"c2"_s;
}

void TestRecordGrid::downKey() {
    QFETCH(int, start);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(QString, typed);
    QFETCH(bool, editorOpen);
    QFETCH(int, row);
    QFETCH(int, posts);
    QFETCH(QString, stored);
    Pane p;
    QVERIFY(p.show());
    clickCell(p.grid, start, Content);
    if (!typed.isEmpty()) {
        typeIntoCell(p.grid, start, Content, typed);
        QVERIFY(p.cursor.isEditing());
        if (!editorOpen)
            enter();
    }
    QCOMPARE(QApplication::focusWidget() == p.grid, !editorOpen);
    key(Qt::Key_Down, mods);
    QCOMPARE(p.cursor.recNo(), row);
    QCOMPARE(p.grid->currentIndex(), cell(p.grid, row, Content));
    QCOMPARE(p.cursor.state(), CursorState::Browse);
    QCOMPARE(p.posts, posts);
    QCOMPARE(p.stored(start + 1, u"QstCon"_s), stored);
    QCOMPARE(p.cursor.recordCount(), 4);
    QCOMPARE(p.model.rowCount(), 4);
    QCOMPARE(banktest::count(p.conn, u"question"_s), 4);
    QCOMPARE(p.errors, QStringList());
}

// Insert, Ctrl+Delete, Esc and Tab from the content cell of the second record.
void TestRecordGrid::editKeys_data() {
    QTest::addColumn<Action>("act");
    QTest::addColumn<int>("rows"); // in the cursor and the grid
    QTest::addColumn<QString>("bank");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<CursorState>("state");
    QTest::addColumn<QString>("content"); // the current record's, as the grid shows it
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("inGrid"); // the focus is still in the grid

    const QString original = contents({u"c1"_s, u"c2"_s, u"c3"_s, u"c4"_s});
    const QString appended = original + u","_s;
    const QString edited = contents({u"c1"_s, u"typed"_s, u"c3"_s, u"c4"_s});
    const QString deleted = contents({u"c1"_s, u"c3"_s, u"c4"_s});

    QTest::newRow("Insert") << Action([](Pane&) { key(Qt::Key_Insert); }) << 5 << original << 4
                            << CursorState::Insert << QString() << int(Content) << true;
    QTest::newRow("Insert, Down posts") << Action([](Pane&) {
        key(Qt::Key_Insert);
        key(Qt::Key_Down);
    }) << 5 << appended << 4 << CursorState::Browse
                                        << QString() << int(Content) << true;
    QTest::newRow("Insert, leaving the column posts") << Action([](Pane&) {
        key(Qt::Key_Insert);
        key(Qt::Key_Left);
    }) << 5 << appended << 4 << CursorState::Browse << QString()
                                                      << int(Score) << true;
    QTest::newRow("Insert, Esc") << Action([](Pane&) {
        key(Qt::Key_Insert);
        key(Qt::Key_Escape);
    }) << 4 << original << 1 << CursorState::Browse
                                 << u"c2"_s << int(Content) << true;
    QTest::newRow("Insert, typing, Esc, Esc") << Action([](Pane& p) {
        key(Qt::Key_Insert);
        typeIntoCell(p.grid, 4, Content, u"new"_s);
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
    }) << 4 << original << 1 << CursorState::Browse
                                              << u"c2"_s << int(Content) << true;
    QTest::newRow("Ctrl+Delete") << Action([](Pane&) { key(Qt::Key_Delete, Qt::ControlModifier); })
                                 << 3 << deleted << 1 << CursorState::Browse << u"c3"_s
                                 << int(Content) << true;
    QTest::newRow("Ctrl+Delete of an edited record") << Action([](Pane& p) {
        typeCommitted(p, 1, u"typed"_s);
        key(Qt::Key_Delete, Qt::ControlModifier);
    }) << 3 << deleted << 1 << CursorState::Browse << u"c3"_s
                                                     << int(Content) << true;
    QTest::newRow("Esc in an open editor reverts the cell") << Action([](Pane& p) {
        typeIntoCell(p.grid, 1, Content, u"typed"_s);
        key(Qt::Key_Escape);
    }) << 4 << original << 1 << CursorState::Edit << u"c2"_s << int(Content)
                                                            << true;
    QTest::newRow("Esc, Esc drops the record's changes") << Action([](Pane& p) {
        typeIntoCell(p.grid, 1, Content, u"typed"_s);
        key(Qt::Key_Escape);
        key(Qt::Key_Escape);
    }) << 4 << original << 1 << CursorState::Browse << u"c2"_s
                                                         << int(Content) << true;
    QTest::newRow("Esc after the cell was committed") << Action([](Pane& p) {
        typeCommitted(p, 1, u"typed"_s);
        key(Qt::Key_Escape);
    }) << 4 << original << 1 << CursorState::Browse << u"c2"_s
                                                      << int(Content) << true;
    QTest::newRow("Tab from an open editor") << Action([](Pane& p) {
        typeIntoCell(p.grid, 1, Content, u"typed"_s);
        key(Qt::Key_Tab);
    }) << 4 << edited << 1 << CursorState::Browse
                                             << u"typed"_s << int(Content) << false;
    QTest::newRow("Shift+Tab from an open editor") << Action([](Pane& p) {
        typeIntoCell(p.grid, 1, Content, u"typed"_s);
        key(Qt::Key_Backtab, Qt::ShiftModifier);
    }) << 4 << edited << 1 << CursorState::Browse << u"typed"_s
                                                   << int(Content) << false;
    QTest::newRow("Tab from the grid") << Action([](Pane& p) {
        typeCommitted(p, 1, u"typed"_s);
        key(Qt::Key_Tab);
    }) << 4 << edited << 1 << CursorState::Browse
                                       << u"typed"_s << int(Content) << false;
}

void TestRecordGrid::editKeys() {
    QFETCH(Action, act);
    QFETCH(int, rows);
    QFETCH(QString, bank);
    QFETCH(int, recNo);
    QFETCH(CursorState, state);
    QFETCH(QString, content);
    QFETCH(int, column);
    QFETCH(bool, inGrid);
    Pane p;
    QVERIFY(p.show());
    clickCell(p.grid, 1, Content);
    act(p);
    QCOMPARE(p.bankContents(), bank);
    // The grid shows the bank's rows, and a new record while it is inserted.
    QCOMPARE(p.shownContents(), state == CursorState::Insert ? bank + u","_s : bank);
    QCOMPARE(p.cursor.recordCount(), rows);
    QCOMPARE(p.model.rowCount(), rows);
    QCOMPARE(p.grid->currentIndex(), cell(p.grid, recNo, column));
    QCOMPARE(p.grid->currentColumn(), column);
    QCOMPARE(p.grid->holdsFocus(), inGrid);
    QCOMPARE(p.cursor.recNo(), recNo);
    QCOMPARE(p.cursor.state(), state);
    QCOMPARE(p.cursor.asString(u"QstCon"_s), content);
    QCOMPARE(p.model.index(recNo, Content).data().toString(), content);
    if (!inGrid)
        QCOMPARE(QApplication::focusWidget(), p.elsewhere);
    QCOMPARE(p.errors, QStringList());
}

// The second record holds typed text when the data source is disabled.
void TestRecordGrid::keysInertWhileDisabled_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");

    QTest::newRow("Down") << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("Shift+Down") << int(Qt::Key_Down) << Qt::KeyboardModifiers(Qt::ShiftModifier);
    QTest::newRow("Insert") << int(Qt::Key_Insert) << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("Ctrl+Delete") << int(Qt::Key_Delete)
                                 << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("Esc") << int(Qt::Key_Escape) << Qt::KeyboardModifiers(Qt::NoModifier);
    QTest::newRow("Tab") << int(Qt::Key_Tab) << Qt::KeyboardModifiers(Qt::NoModifier);
}

void TestRecordGrid::keysInertWhileDisabled() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, mods);
    Pane p;
    QVERIFY(p.show());
    typeCommitted(p, 1, u"typed"_s);
    p.model.setEnabled(false);
    QCOMPARE(p.model.rowCount(), 0);
    QCOMPARE(QApplication::focusWidget(), p.grid);
    QTest::keyClick(p.grid, Qt::Key(key), mods);
    QCOMPARE(p.cursor.recNo(), 1);
    QCOMPARE(p.cursor.recordCount(), 4);
    QCOMPARE(p.cursor.state(), CursorState::Edit);
    QCOMPARE(p.cursor.asString(u"QstCon"_s), u"typed"_s);
    QCOMPARE(p.bankContents(), contents({u"c1"_s, u"c2"_s, u"c3"_s, u"c4"_s}));
    QCOMPARE(p.posts, 0);
    QCOMPARE(p.errors, QStringList());
}

// --- the in-cell lists --------------------------------------------------------------

void TestRecordGrid::enteringListColumn_data() {
    QTest::addColumn<QString>("set"); // into the second question before the grid opens
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("byKey"); // Right from the column before, else a click
    QTest::addColumn<int>("item");

    QTest::newRow("判断题") << u"QstTyp = '判断题'"_s << int(Type) << false << 0;
    QTest::newRow("多选题 by Right") << u"QstTyp = '多选题'"_s << int(Type) << true << 2;
    QTest::newRow("unknown word") << u"QstTyp = '填空题'"_s << int(Type) << false << -1;
    QTest::newRow("no word") << u"QstTyp = ''"_s << int(Type) << false << -1;
    QTest::newRow("correct") << u"IsTrue = 1"_s << int(Flag) << false << 0;
    QTest::newRow("wrong by Right") << u"IsTrue = 0"_s << int(Flag) << true << 1;
}

void TestRecordGrid::enteringListColumn() {
    QFETCH(QString, set);
    QFETCH(int, column);
    QFETCH(bool, byKey);
    QFETCH(int, item);
    Pane p;
    p.conn.execute(u"update question set "_s + set + u" where QstID = 2"_s);
    QVERIFY(p.show());
    if (byKey) {
        clickCell(p.grid, 1, column - 1);
        QTest::keyClick(p.grid, Qt::Key_Right);
    } else {
        clickCell(p.grid, 1, column);
    }
    QComboBox* list = column == Type ? p.type : p.flag;
    QComboBox* other = column == Type ? p.flag : p.type;
    QVERIFY(list->isVisible());
    QVERIFY(!other->isVisible());
    QCOMPARE(list->currentIndex(), item);
    QCOMPARE(list->geometry(), listPlace(p.grid, &p.pane));
    QCOMPARE(p.cursor.state(), CursorState::Edit);
    QCOMPARE(p.cursor.recNo(), 1);
    QVERIFY(!p.cursor.isModified());
    QCOMPARE(p.posts, 0);
    QCOMPARE(p.errors, QStringList());
}

// 多选题 picked for the second question (a 单选题), then the column or the grid left.
void TestRecordGrid::pickedItemPostedOnLeaving_data() {
    QTest::addColumn<Action>("leave");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("recNo");
    QTest::addColumn<CursorState>("state");
    QTest::addColumn<bool>("typeShown");
    QTest::addColumn<bool>("flagShown");

    const QString picked = u"多选题"_s;
    const CursorState browse = CursorState::Browse;
    // Back to the grid first, as the teacher clicks it after picking.
    const auto back = [](Qt::Key k) {
        return Action([k](Pane& p) {
            p.grid->setFocus();
            key(k);
        });
    };
    QTest::newRow("Right") << back(Qt::Key_Right) << picked << 1 << browse << false << false;
    QTest::newRow("Left") << back(Qt::Key_Left) << picked << 1 << browse << false << false;
    QTest::newRow("click on another row's plain cell")
        << Action([](Pane& p) { clickCell(p.grid, 2, Content); }) << picked << 2 << browse << false
        << false;
    // Entering the other list's column puts the record into editing again.
    QTest::newRow("click on the other list's column")
        << Action([](Pane& p) { clickCell(p.grid, 1, Flag); }) << picked << 1 << CursorState::Edit
        << false << true;
    QTest::newRow("Down stays in the column")
        << back(Qt::Key_Down) << picked << 2 << browse << true << false;
    // The list stays over its cell: only leaving the column or the list
    // losing its own focus hides it.
    QTest::newRow("the grid losing the focus") << Action([](Pane& p) {
        p.grid->setFocus();
        p.elsewhere->setFocus();
    }) << picked << 1 << browse << true << false;
    // The list stands for its cell: going on elsewhere from it leaves the
    // grid too, and the pick is saved, not left pending.
    QTest::newRow("from the list to another widget")
        << Action([](Pane& p) { p.elsewhere->setFocus(); }) << u"多选题"_s << 1
        << CursorState::Browse << false << false;
}

void TestRecordGrid::pickedItemPostedOnLeaving() {
    QFETCH(Action, leave);
    QFETCH(QString, stored);
    QFETCH(int, recNo);
    QFETCH(CursorState, state);
    QFETCH(bool, typeShown);
    QFETCH(bool, flagShown);
    Pane p;
    QVERIFY(p.show());
    clickCell(p.grid, 1, Type);
    QCOMPARE(p.type->currentText(), u"单选题"_s);
    pick(p.type, u"多选题"_s);
    // Picked into the record only.
    QCOMPARE(p.cursor.asString(u"QstTyp"_s), u"多选题"_s);
    QCOMPARE(p.model.index(1, Type).data().toString(), u"多选题"_s);
    QVERIFY(p.cursor.isModified());
    QCOMPARE(p.stored(2, u"QstTyp"_s), u"单选题"_s);
    leave(p);
    QCOMPARE(p.stored(2, u"QstTyp"_s), stored);
    QCOMPARE(p.cursor.recNo(), recNo);
    QCOMPARE(p.cursor.state(), state);
    QCOMPARE(p.type->isVisible(), typeShown);
    QCOMPARE(p.flag->isVisible(), flagShown);
    if (typeShown)
        QCOMPARE(p.type->currentText(), p.cursor.asString(u"QstTyp"_s));
    QCOMPARE(p.errors, QStringList());
}

// A list shown with an item other than the one picked (as the program may set
// it without the user picking) hides when it loses the focus; only a list that
// stores on exit puts its item into the record then.
void TestRecordGrid::listLosingFocus_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("field");

    QTest::newRow("type list keeps the picked item")
        << int(Type) << u"多选题"_s << u"判断题"_s << u"多选题"_s;
    QTest::newRow("flag list stores its item again")
        << int(Flag) << u"正确"_s << u"错误"_s << u"False"_s;
}

void TestRecordGrid::listLosingFocus() {
    QFETCH(int, column);
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    QFETCH(QString, field);
    Pane p;
    QVERIFY(p.show());
    QComboBox* list = column == Type ? p.type : p.flag;
    clickCell(p.grid, 1, column);
    pick(list, picked);
    list->setCurrentIndex(list->findText(shown));
    QCOMPARE(QApplication::focusWidget(), list);
    p.elsewhere->setFocus();
    QVERIFY(!list->isVisible());
    QCOMPARE(p.cursor.asString(p.model.fieldOf(column)), field);
    QCOMPARE(p.errors, QStringList());
}

// The type list over the current cell after the grid moved under it.
void TestRecordGrid::listPlacement_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row"); // clicked
    QTest::addColumn<Action>("act");

    QTest::newRow("clicked") << 4 << 1 << Action([](Pane&) {});
    QTest::newRow("Down") << 4 << 1 << Action([](Pane&) { key(Qt::Key_Down); });
    QTest::newRow("scrolled down, still in sight")
        << 60 << 4 << Action([](Pane& p) { p.grid->verticalScrollBar()->setValue(2); });
    QTest::newRow("Down past the bottom") << 60 << 0 << Action([](Pane& p) {
        for (int i = 0; i < 20; ++i)
            key(Qt::Key_Down);
        QCOMPARE(p.cursor.recNo(), 20);
    });
    QTest::newRow("scrolled sideways, still in sight")
        << 4 << 1 << Action([](Pane& p) { p.grid->horizontalScrollBar()->setValue(1); });
    QTest::newRow("column before widened")
        << 4 << 1 << Action([](Pane& p) { p.grid->setColumnWidth(Number, 90); });
    QTest::newRow("its column widened")
        << 4 << 1 << Action([](Pane& p) { p.grid->setColumnWidth(Type, 100); });
    QTest::newRow("header dragged") << 4 << 1 << Action([](Pane& p) {
        QHeaderView* header = p.grid->horizontalHeader();
        const int edge = header->sectionViewportPosition(Number) + header->sectionSize(Number) - 1;
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(edge, y));
        QTest::mouseMove(header->viewport(), QPoint(edge + 15, y));
        QTest::mouseMove(header->viewport(), QPoint(edge + 30, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(edge + 30, y));
        QCOMPARE(header->sectionSize(Number), 56 + 30);
    });
}

void TestRecordGrid::listPlacement() {
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(Action, act);
    Pane p(rows);
    QVERIFY(p.show());
    clickCell(p.grid, row, Type);
    const QRect before = p.type->geometry();
    act(p);
    if (QTest::currentTestFailed())
        return;
    p.settle();
    QVERIFY(p.type->isVisible());
    QCOMPARE(p.type->geometry(), listPlace(p.grid, &p.pane));
    QCOMPARE(p.type->currentText(), p.cursor.asString(u"QstTyp"_s));
    if (QTest::currentDataTag() != QByteArray("clicked"))
        QVERIFY(p.type->geometry() != before); // the case moved the cell
    QCOMPARE(p.errors, QStringList());
}

void TestRecordGrid::listOutOfSight_data() {
    QTest::addColumn<bool>("sideways");
    QTest::addColumn<int>(
        "away"); // the focus moves elsewhere: 0 never, 1 before, 2 while out of sight

    QTest::newRow("down and back") << false << 0;
    QTest::newRow("sideways and back") << true << 0;
    QTest::newRow("back while the focus is elsewhere") << false << 2;
    // Over another row it would hide the row's text.
    QTest::newRow("away while the focus is elsewhere") << false << 1;
}

void TestRecordGrid::listOutOfSight() {
    QFETCH(bool, sideways);
    QFETCH(int, away);
    Pane p(60);
    QVERIFY(p.show());
    clickCell(p.grid, 1, Type);
    QVERIFY(p.type->isVisible());
    if (away == 1)
        p.elsewhere->setFocus();
    QScrollBar* bar = sideways ? p.grid->horizontalScrollBar() : p.grid->verticalScrollBar();
    // As the scroll bar or the wheel scroll it, neither taking the focus.
    bar->setValue(bar->maximum());
    p.settle();
    QVERIFY(!p.grid->viewport()->rect().intersects(p.cellRect(1, Type)));
    QVERIFY(!p.type->isVisible());
    if (away == 2)
        p.elsewhere->setFocus();
    bar->setValue(0);
    p.settle();
    QCOMPARE(p.type->isVisible(), away == 0);
    if (away == 0)
        QCOMPARE(p.type->geometry(), listPlace(p.grid, &p.pane));
    QCOMPARE(p.errors, QStringList());
}

// The program greys the flag list over a choice question.
void TestRecordGrid::disabledListCannotOpen_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("bySpace"); // else a double click

    QTest::newRow("double click") << true << false;
    QTest::newRow("Space") << true << true;
    QTest::newRow("disabled, double click") << false << false;
    QTest::newRow("disabled, Space") << false << true;
}

void TestRecordGrid::disabledListCannotOpen() {
    QFETCH(bool, enabled);
    QFETCH(bool, bySpace);
    Pane p;
    QVERIFY(p.show());
    clickCell(p.grid, 1, Flag);
    p.flag->setEnabled(enabled);
    if (bySpace)
        QTest::keyClick(p.grid, Qt::Key_Space);
    else
        QTest::mouseDClick(p.grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                           p.cellRect(1, Flag).center());
    QCOMPARE(p.flag->view()->isVisible(), enabled);
    if (enabled)
        p.flag->hidePopup();
    QCOMPARE(p.cursor.asString(u"IsTrue"_s), u"False"_s);
    QCOMPARE(p.errors, QStringList());
}

// --- the navigator ------------------------------------------------------------------

void TestRecordGrid::navigator_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("accessible");
    QTest::addColumn<int>("start");
    QTest::addColumn<Action>("prepare");
    QTest::addColumn<QString>("enabled"); // before the click
    QTest::addColumn<int>("recNo");
    QTest::addColumn<CursorState>("state");
    QTest::addColumn<QString>("bank");
    QTest::addColumn<QString>("shown");

    const QString original = contents({u"c1"_s, u"c2"_s, u"c3"_s, u"c4"_s});
    const QString edited = contents({u"c1"_s, u"typed"_s, u"c3"_s, u"c4"_s});
    const QString all = u"First Prior Next Last Refresh"_s;
    const QString atFirst = u"Next Last Refresh"_s;
    const QString atLast = u"First Prior Refresh"_s;
    const QString editing = u"First Prior Next Last Post Refresh"_s;
    const Action nothing = [](Pane&) {};
    const Action typed = [](Pane& p) { typeCommitted(p, 1, u"typed"_s); };
    const Action typing = [](Pane& p) { typeIntoCell(p.grid, 1, Content, u"typed"_s); };
    const auto row = [](const char* name, const char* button,
                        const char* accessible) -> QTestData& {
        return QTest::newRow(name) << QString::fromLatin1(button) << QString::fromUtf8(accessible);
    };
    const CursorState browse = CursorState::Browse;

    row("First", "First", "第一条记录")
        << 2 << nothing << all << 0 << browse << original << original;
    row("First on the first", "First", "第一条记录")
        << 0 << nothing << atFirst << 0 << browse << original << original;
    row("Prior", "Prior", "前一条记录")
        << 2 << nothing << all << 1 << browse << original << original;
    row("Prior on the first", "Prior", "前一条记录")
        << 0 << nothing << atFirst << 0 << browse << original << original;
    row("Next", "Next", "后一条记录") << 1 << nothing << all << 2 << browse << original << original;
    row("Next on the last", "Next", "后一条记录")
        << 3 << nothing << atLast << 3 << browse << original << original;
    row("Next posts an edited record", "Next", "后一条记录")
        << 1 << typed << editing << 2 << browse << edited << edited;
    row("Last", "Last", "最后一条记录")
        << 1 << nothing << all << 3 << browse << original << original;
    row("Last on the last", "Last", "最后一条记录")
        << 3 << nothing << atLast << 3 << browse << original << original;
    row("Post", "Post", "保存对当前记录的修改")
        << 1 << typed << editing << 1 << browse << edited << edited;
    row("Post with text in an open editor", "Post", "保存对当前记录的修改")
        << 1 << typing << editing << 1 << browse << edited << edited;
    row("Post while browsing", "Post", "保存对当前记录的修改")
        << 1 << nothing << all << 1 << browse << original << original;
    row("Refresh re-reads a changed row", "Refresh", "刷新数据")
        << 1 << Action([](Pane& p) {
               banktest::BankConnection other(p.dir.filePath(u"bank.mdb"_s));
               other.execute(u"update question set QstCon = 'changed' where QstID = 3"_s);
               QCOMPARE(p.shownContents(), contents({u"c1"_s, u"c2"_s, u"c3"_s, u"c4"_s}));
           })
        << all << 1 << browse << contents({u"c1"_s, u"c2"_s, u"changed"_s, u"c4"_s})
        << contents({u"c1"_s, u"c2"_s, u"changed"_s, u"c4"_s});
    row("Refresh drops a deleted row", "Refresh", "刷新数据")
        << 1 << Action([](Pane& p) {
               banktest::BankConnection other(p.dir.filePath(u"bank.mdb"_s));
               other.execute(u"delete from question where QstID = 1"_s);
           })
        << all << 0 << browse << contents({u"c2"_s, u"c3"_s, u"c4"_s})
        << contents({u"c2"_s, u"c3"_s, u"c4"_s});
    // A disabled data source leaves every button inert, the edited record as it is.
    const Action disabled = [](Pane& p) {
        typeCommitted(p, 1, u"typed"_s);
        p.model.setEnabled(false);
    };
    const char* const buttons[][2] = {{"First", "第一条记录"},          {"Prior", "前一条记录"},
                                      {"Next", "后一条记录"},           {"Last", "最后一条记录"},
                                      {"Post", "保存对当前记录的修改"}, {"Refresh", "刷新数据"}};
    for (const auto& [name, accessible] : buttons)
        QTest::addRow("%s while disabled", name)
            << QString::fromLatin1(name) << QString::fromUtf8(accessible) << 1 << disabled
            << QString() << 1 << CursorState::Edit << original << QString();
}

void TestRecordGrid::navigator() {
    QFETCH(QString, button);
    QFETCH(QString, accessible);
    QFETCH(int, start);
    QFETCH(Action, prepare);
    QFETCH(QString, enabled);
    QFETCH(int, recNo);
    QFETCH(CursorState, state);
    QFETCH(QString, bank);
    QFETCH(QString, shown);
    Pane p;
    QVERIFY(p.show());
    auto* found = p.navigator->findChild<QToolButton*>(button);
    QVERIFY(found);
    QCOMPARE(found->accessibleName(), accessible);
    clickCell(p.grid, start, Content);
    prepare(p);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(enabledButtons(p), enabled);
    QTest::mouseClick(found, Qt::LeftButton);
    QCOMPARE(p.cursor.recNo(), recNo);
    QCOMPARE(p.cursor.state(), state);
    QCOMPARE(p.bankContents(), bank);
    QCOMPARE(p.shownContents(), shown);
    if (p.model.isEnabled())
        QCOMPARE(p.grid->currentIndex(), cell(p.grid, recNo, Content));
    QCOMPARE(p.errors, QStringList());
}

// --- line breaks and long texts ------------------------------------------------------

void TestRecordGrid::oneLineCells_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("display");
    QTest::addColumn<Action>("leave"); // after the cell was clicked

    const Action clickAway = [](Pane& p) { clickCell(p.grid, 0, Score); };
    const Action editorOpened = [](Pane& p) {
        QTest::mouseDClick(p.grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                           p.cellRect(1, Content).center());
        QVERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
        clickCell(p.grid, 0, Score);
    };
    QString longText;
    for (int i = 0; i < 40; ++i)
        longText += u"下面关于三角形内角和的说法中哪一个是正确的"_s;

    QTest::newRow("line feed") << u"第一行\n第二行"_s << u"第一行 第二行"_s << clickAway;
    QTest::newRow("CR LF") << u"a\r\nb"_s << u"a b"_s << clickAway;
    QTest::newRow("CR") << u"a\rb"_s << u"a b"_s << clickAway;
    QTest::newRow("several, at the end") << u"a\n\nb\r\n"_s << u"a  b "_s << clickAway;
    QTest::newRow("line feed, editor opened")
        << u"第一行\n第二行"_s << u"第一行 第二行"_s << editorOpened;
    QTest::newRow("long") << longText << longText << clickAway;
    QTest::newRow("long, a line feed near the end")
        << longText + u"\n尾"_s << longText + u" 尾"_s << clickAway;
    QTest::newRow("long, editor opened") << longText << longText << editorOpened;
}

void TestRecordGrid::oneLineCells() {
    QFETCH(QString, text);
    QFETCH(QString, display);
    QFETCH(Action, leave);
    Pane p;
    p.conn.execute(
        u"update question set QstCon = %1 where QstID = 2"_s.arg(banktest::quoted(text)));
    QVERIFY(p.show());
    auto* delegate = qobject_cast<QStyledItemDelegate*>(p.grid->itemDelegate());
    QVERIFY(delegate);
    const QModelIndex index = cell(p.grid, 1, Content);
    QCOMPARE(delegate->displayText(index.data(), QLocale()), display);
    QCOMPARE(index.data().toString(), text); // only the cell's face is one line
    clickCell(p.grid, 1, Content);
    leave(p);
    QCOMPARE(p.cursor.state(), CursorState::Browse);
    QCOMPARE(p.stored(2, u"QstCon"_s), text);
    QCOMPARE(p.cursor.textAt(1, u"QstCon"_s), text);
    QCOMPARE(p.errors, QStringList());
}

QTEST_MAIN(TestRecordGrid)
#include "tst_recordgrid.moc"
