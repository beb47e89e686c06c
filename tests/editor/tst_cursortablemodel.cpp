// The grids' data source over a real table cursor on a fresh bank, and the
// two text forms of the correctness flag; no window is needed for either.
#include "bankhelpers.h"
#include "editor/cursortablemodel.h"
#include "editor/truorfalse.h"
#include "store/connection.h"
#include "store/engineerror.h"
#include "store/tablecursor.h"

#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

using namespace tess;
using namespace Qt::StringLiterals;

namespace {

using Step = std::function<void(TableCursor&)>;

// As the question grid shows its cursor.
const QVector<GridColumn> kColumns{{u"QstIdx"_s, u"题目序号"_s, 56, Qt::AlignRight},
                                   {u"QstTyp"_s, u"题目类型"_s, 56, Qt::AlignLeft},
                                   {u"QstScr"_s, u"分值"_s, 30, Qt::AlignRight},
                                   {u"QstCon"_s, u"题目内容"_s, 250, Qt::AlignLeft},
                                   {u"IsTrue"_s, u"是否正确"_s, 70, Qt::AlignLeft}};
enum Column { Number, Type, Score, Content, Flag };

// Fixture texts of the four questions of paper 1, by row.
const QString kLong = u"下面关于三角形内角和的说法中哪一个是正确的请选择唯一正确的选项并说明理由"_s;
const QStringList kContents{u"地球是圆的"_s, kLong, u"第一行\n第二行"_s, u"最后一题"_s};

// What a model tells its views, one entry per signal, in order.
class ModelLog {
public:
    explicit ModelLog(CursorTableModel& model) {
        const int columns = model.columnCount();
        QObject::connect(&model, &QAbstractItemModel::modelReset, &m_context,
                         [this] { m_entries << u"reset"_s; });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &m_context,
                         [this](const QModelIndex&, int first, int last) {
                             m_entries << u"inserted %1-%2"_s.arg(first).arg(last);
                         });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, &m_context,
                         [this](const QModelIndex&, int first, int last) {
                             m_entries << u"removed %1-%2"_s.arg(first).arg(last);
                         });
        // A whole row reads "data r"; anything else shows its full range.
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &m_context,
                         [this, columns](const QModelIndex& from, const QModelIndex& to) {
                             if (from.row() == to.row() && from.column() == 0 &&
                                 to.column() == columns - 1)
                                 m_entries << u"data %1"_s.arg(from.row());
                             else
                                 m_entries << u"data %1,%2-%3,%4"_s.arg(from.row())
                                                  .arg(from.column())
                                                  .arg(to.row())
                                                  .arg(to.column());
                         });
        QObject::connect(&model, &QAbstractItemModel::headerDataChanged, &m_context,
                         [this](Qt::Orientation orientation, int first, int last) {
                             const QString kind =
                                 orientation == Qt::Vertical ? u"mark"_s : u"title"_s;
                             m_entries
                                 << (first == last ? u"%1 %2"_s.arg(kind).arg(first)
                                                   : u"%1 %2-%3"_s.arg(kind).arg(first).arg(last));
                         });
        QObject::connect(&model, &CursorTableModel::currentRowChanged, &m_context,
                         [this](int row) { m_entries << u"current %1"_s.arg(row); });
        QObject::connect(&model, &CursorTableModel::stateChanged, &m_context,
                         [this] { m_entries << u"state"_s; });
        QObject::connect(&model, &CursorTableModel::updateRecordRequested, &m_context,
                         [this] { m_entries << u"update"_s; });
        QObject::connect(&model, &CursorTableModel::enabledChanged, &m_context,
                         [this](bool on) { m_entries << u"enabled %1"_s.arg(on); });
    }

    const QStringList& all() const { return m_entries; }
    // The entries whose first word is one of kinds.
    QStringList of(const QStringList& kinds) const {
        QStringList out;
        for (const QString& entry : m_entries)
            if (kinds.contains(entry.section(QLatin1Char(' '), 0, 0)))
                out << entry;
        return out;
    }
    QStringList rowSignals() const { return of({u"reset"_s, u"inserted"_s, u"removed"_s}); }
    void note(const QString& entry) { m_entries << entry; }
    void clear() { m_entries.clear(); }

private:
    QObject m_context; // ends the connections when the log goes
    QStringList m_entries;
};

QString text(const CursorTableModel& model, int row, int column, int role = Qt::DisplayRole) {
    return model.data(model.index(row, column), role).toString();
}

QStringList columnTexts(const CursorTableModel& model, int column) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << text(model, row, column);
    return out;
}

// The vertical header of every row: the current one carries the mark.
QStringList marks(const CursorTableModel& model) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.headerData(row, Qt::Vertical).toString();
    return out;
}

void openPaper(TableCursor& cursor, int paper = 1) {
    cursor.setFilter(u"PapIdx = %1"_s.arg(paper));
    cursor.open();
}

// A new record must have its identifier and paper before it can be stored.
void fillNew(TableCursor& cursor, int id) {
    cursor.setInteger(u"QstID"_s, id);
    cursor.setInteger(u"PapIdx"_s, 1);
}

} // namespace

Q_DECLARE_METATYPE(Step)

class TestCursorTableModel : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_bank;
    Connection m_conn;

    QString stored(const QString& column, int qstId) {
        return banktest::scalar(
                   m_conn,
                   u"select %1 as v from question where QstID = %2"_s.arg(column).arg(qstId))
            .toString();
    }

private Q_SLOTS:
    void init();
    void cleanup();

    void followsCursor_data();
    void followsCursor();
    void removedRowReadableUntilRemoved();
    void showsFieldsAsTexts();
    void tooltips_data();
    void tooltips();
    void headers();
    void rowMarkFollowsRecordAndState();
    void setDataOnlyOnCurrentRow();
    void integerColumnJudgedAtPost_data();
    void integerColumnJudgedAtPost();
    void editErrorsReachGuard();
    void typedTextRequestedBeforeLeaving_data();
    void typedTextRequestedBeforeLeaving();
    void suspendedViewsCatchUpOnResume();
    void disabledShowsNoRows();
    void cursorDestroyedFirst_data();
    void cursorDestroyedFirst();
    void modelDestroyedFirst();
    void truOrFalse_data();
    void truOrFalse();
};

void TestCursorTableModel::init() {
    QVERIFY(m_dir.isValid());
    m_bank = m_dir.filePath(u"bank.mdb"_s);
    QFile::remove(m_bank);
    banktest::freshBank(m_bank);
    banktest::openConnection(m_conn, m_bank);
    // Four questions of paper 1 (one without a score) and one of paper 2.
    m_conn.execute(
        u"begin;"
        "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) values"
        " (1, 1, 1, '判断题', 5, %1, 1),"
        " (2, 1, 2, '单选题', 10, %2, 0),"
        " (3, 1, 3, '多选题', null, %3, 0),"
        " (4, 1, 4, '判断题', 20, %4, 1),"
        " (5, 2, 1, '判断题', 5, '另一份试卷', 0);"
        "commit;"_s.arg(banktest::quoted(kContents[0]), banktest::quoted(kContents[1]),
                        banktest::quoted(kContents[2]), banktest::quoted(kContents[3])));
}

void TestCursorTableModel::cleanup() {
    m_conn.close();
    QFile::remove(m_bank);
}

// Each change of the cursor, from row 1 of paper 1's four questions: only a
// replaced set of rows resets; everything else is one row's signal.
void TestCursorTableModel::followsCursor_data() {
    QTest::addColumn<Step>("prepare");
    QTest::addColumn<Step>("act");
    QTest::addColumn<QStringList>("rowSignals");
    QTest::addColumn<QStringList>("dataRows");
    QTest::addColumn<QStringList>("current");
    QTest::addColumn<int>("rows");

    const Step nothing = [](TableCursor&) {};
    const QStringList none;

    QTest::newRow("next") << nothing << Step([](TableCursor& c) { c.next(); }) << none
                          << QStringList{u"data 2"_s} << QStringList{u"current 2"_s} << 4;
    QTest::newRow("last") << nothing << Step([](TableCursor& c) { c.last(); }) << none
                          << QStringList{u"data 3"_s} << QStringList{u"current 3"_s} << 4;
    QTest::newRow("locate") << nothing
                            << Step([](TableCursor& c) { c.locate(u"QstCon"_s, kContents[0]); })
                            << none << QStringList{u"data 0"_s} << QStringList{u"current 0"_s} << 4;
    QTest::newRow("move to the same row")
        << nothing << Step([](TableCursor& c) { c.moveTo(1); }) << none << none << none << 4;
    QTest::newRow("set a field") << nothing << Step([](TableCursor& c) {
        c.edit();
        c.setString(u"QstCon"_s, u"改过的内容"_s);
    }) << none << QStringList{u"data 1"_s}
                                 << none << 4;
    QTest::newRow("cancel an edit") << Step([](TableCursor& c) {
        c.edit();
        c.setString(u"QstCon"_s, u"改过的内容"_s);
    }) << Step([](TableCursor& c) { c.cancel(); })
                                    << none << QStringList{u"data 1"_s} << none << 4;
    QTest::newRow("insert") << nothing << Step([](TableCursor& c) { c.insert(); })
                            << QStringList{u"inserted 4-4"_s} << QStringList{u"data 4"_s}
                            << QStringList{u"current 4"_s} << 5;
    QTest::newRow("post a new record") << Step([](TableCursor& c) {
        c.insert();
        fillNew(c, 9);
    }) << Step([](TableCursor& c) { c.post(); })
                                       << none << QStringList{u"data 4"_s} << none << 5;
    QTest::newRow("cancel a new record")
        << Step([](TableCursor& c) { c.insert(); }) << Step([](TableCursor& c) { c.cancel(); })
        << QStringList{u"removed 4-4"_s} << QStringList{u"data 1"_s} << QStringList{u"current 1"_s}
        << 4;
    QTest::newRow("remove the last row")
        << Step([](TableCursor& c) { c.last(); }) << Step([](TableCursor& c) { c.remove(); })
        << QStringList{u"removed 3-3"_s} << QStringList{u"data 2"_s} << QStringList{u"current 2"_s}
        << 3;
    QTest::newRow("remove the only row")
        << Step([](TableCursor& c) { c.setFilter(u"PapIdx = 2"_s); })
        << Step([](TableCursor& c) { c.remove(); }) << QStringList{u"removed 0-0"_s} << none
        << QStringList{u"current -1"_s} << 0;
    QTest::newRow("edit on an empty cursor")
        << Step([](TableCursor& c) { c.setFilter(u"PapIdx = 3"_s); })
        << Step([](TableCursor& c) { c.edit(); }) << QStringList{u"inserted 0-0"_s}
        << QStringList{u"data 0"_s} << QStringList{u"current 0"_s} << 1;
    QTest::newRow("new filter") << nothing
                                << Step([](TableCursor& c) { c.setFilter(u"PapIdx = 2"_s); })
                                << QStringList{u"reset"_s} << QStringList{u"data 0"_s}
                                << QStringList{u"current 0"_s} << 1;
    QTest::newRow("same filter again")
        << nothing << Step([](TableCursor& c) { c.setFilter(u"PapIdx = 1"_s); }) << none << none
        << none << 4;
    // A question added behind the cursor's back shows only once it re-reads;
    // it stays on its record.
    QTest::newRow("refresh") << Step([this](TableCursor&) {
        m_conn.execute(u"insert into question (QstID, PapIdx, QstIdx) values (7, 1, 5)"_s);
    }) << Step([](TableCursor& c) { c.refresh(); })
                             << QStringList{u"reset"_s} << QStringList{u"data 1"_s} << none << 5;
    QTest::newRow("close") << nothing << Step([](TableCursor& c) { c.close(); })
                           << QStringList{u"reset"_s} << none << QStringList{u"current -1"_s} << 0;
    QTest::newRow("open") << Step([](TableCursor& c) { c.close(); })
                          << Step([](TableCursor& c) { c.open(); }) << QStringList{u"reset"_s}
                          << QStringList{u"data 0"_s} << QStringList{u"current 0"_s} << 4;
}

void TestCursorTableModel::followsCursor() {
    QFETCH(Step, prepare);
    QFETCH(Step, act);
    QFETCH(QStringList, rowSignals);
    QFETCH(QStringList, dataRows);
    QFETCH(QStringList, current);
    QFETCH(int, rows);

    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    QCOMPARE(model.rowCount(), 0);
    openPaper(cursor);
    cursor.moveTo(1);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.currentRow(), 1);
    prepare(cursor);
    log.clear();

    act(cursor);
    QCOMPARE(log.rowSignals(), rowSignals);
    QCOMPARE(log.of({u"data"_s}), dataRows);
    QCOMPARE(log.of({u"current"_s}), current);
    QCOMPARE(model.rowCount(), rows);
    QCOMPARE(cursor.recordCount(), rows);
    QCOMPARE(model.currentRow(), cursor.recNo());
    for (int row = 0; row < rows; ++row)
        QCOMPARE(text(model, row, Content), cursor.textAt(row, u"QstCon"_s));
}

// A view handling rowsAboutToBeRemoved may still read the row that goes and
// the one after it, as Qt's model contract has it.
void TestCursorTableModel::removedRowReadableUntilRemoved() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    // The tester reads the rows around a removal while it is announced.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(cursor);
    cursor.moveTo(1);
    QStringList seen;
    connect(&model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [&](const QModelIndex&, int first, int last) {
                seen << text(model, first, Content) << text(model, last + 1, Content);
            });
    log.clear();

    cursor.remove();
    QCOMPARE(log.rowSignals(), QStringList{u"removed 1-1"_s});
    QCOMPARE(columnTexts(model, Content), (QStringList{kContents[0], kContents[2], kContents[3]}));
    QCOMPARE(log.of({u"current"_s}), QStringList{u"current 1"_s});
    QCOMPARE(marks(model).indexOf(QRegularExpression(u".+"_s)), 1);
    QCOMPARE(seen, (QStringList{kContents[1], kContents[2]}));
}

void TestCursorTableModel::showsFieldsAsTexts() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    openPaper(cursor);

    QCOMPARE(model.columnCount(), kColumns.size());
    QCOMPARE(columnTexts(model, Number), (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
    QCOMPARE(columnTexts(model, Type),
             (QStringList{u"判断题"_s, u"单选题"_s, u"多选题"_s, u"判断题"_s}));
    // No score is an empty cell, not "0".
    QCOMPARE(columnTexts(model, Score), (QStringList{u"5"_s, u"10"_s, QString(), u"20"_s}));
    QCOMPARE(columnTexts(model, Content), kContents);
    QCOMPARE(columnTexts(model, Flag), (QStringList{u"True"_s, u"False"_s, u"False"_s, u"True"_s}));
    for (int column = Number; column <= Flag; ++column)
        QCOMPARE(text(model, 1, column, Qt::EditRole), text(model, 1, column));

    // Numbers to the right; texts and flags to the left.
    const auto alignment = [&](int row, int column) {
        return model.data(model.index(row, column), Qt::TextAlignmentRole).value<Qt::Alignment>();
    };
    QCOMPARE(alignment(0, Number), Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(alignment(0, Score), Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(alignment(0, Type), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(alignment(0, Flag), Qt::AlignLeft | Qt::AlignVCenter);

    // The current row shows its edit buffer.
    cursor.edit();
    cursor.setBoolean(u"IsTrue"_s, false);
    cursor.setString(u"QstTyp"_s, u"单选题"_s);
    QCOMPARE(text(model, 0, Flag), u"False"_s);
    QCOMPARE(text(model, 0, Type), u"单选题"_s);
}

void TestCursorTableModel::tooltips_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("tip");

    QTest::newRow("empty") << QString() << false;
    QTest::newRow("40 characters") << QString(40, QChar(u'题')) << false;
    QTest::newRow("41 characters") << QString(41, QChar(u'题')) << true;
    QTest::newRow("two short lines") << u"甲\n乙"_s << true;
}

void TestCursorTableModel::tooltips() {
    QFETCH(QString, content);
    QFETCH(bool, tip);

    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    openPaper(cursor);
    cursor.edit();
    cursor.setString(u"QstCon"_s, content);
    const QVariant shown = model.data(model.index(0, Content), Qt::ToolTipRole);
    // The whole text, as a cell cuts it off.
    QCOMPARE(shown.isValid(), tip);
    if (tip)
        QCOMPARE(shown.toString(), content);
}

void TestCursorTableModel::headers() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    // Titles show even before there are rows.
    for (int column = 0; column < kColumns.size(); ++column) {
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(), kColumns[column].title);
        QCOMPARE(
            model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(),
            kColumns[column].titleAlignment | Qt::AlignVCenter);
        QCOMPARE(model.fieldOf(column), kColumns[column].field);
        QCOMPARE(model.columnOf(kColumns[column].field.toLower()), column);
    }
    QVERIFY(!model.headerData(int(kColumns.size()), Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(-1, Qt::Horizontal).isValid());
    QCOMPARE(model.columnOf(u"QstID"_s), -1);
    QCOMPARE(model.fieldOf(int(kColumns.size())), QString());
}

void TestCursorTableModel::rowMarkFollowsRecordAndState() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(cursor);
    cursor.moveTo(1);
    const QString browse = model.headerData(1, Qt::Vertical).toString();
    QVERIFY(!browse.isEmpty());
    QCOMPARE(marks(model), (QStringList{QString(), browse, QString(), QString()}));

    // The mark is repainted on the row it leaves and the row it reaches.
    log.clear();
    cursor.next();
    QCOMPARE(marks(model), (QStringList{QString(), QString(), browse, QString()}));
    QCOMPARE(log.of({u"mark"_s}), (QStringList{u"mark 1"_s, u"mark 2"_s}));

    log.clear();
    cursor.edit();
    const QString edit = model.headerData(2, Qt::Vertical).toString();
    QVERIFY(!edit.isEmpty());
    QVERIFY(edit != browse);
    QCOMPARE(log.all(), (QStringList{u"mark 2"_s, u"state"_s}));

    log.clear();
    cursor.cancel();
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), browse);
    QVERIFY(log.all().contains(u"mark 2"_s));
    QVERIFY(log.all().contains(u"state"_s));

    cursor.insert();
    const QString insert = model.headerData(4, Qt::Vertical).toString();
    QVERIFY(!insert.isEmpty());
    QVERIFY(insert != browse && insert != edit);
    QCOMPARE(marks(model), (QStringList{QString(), QString(), QString(), QString(), insert}));

    fillNew(cursor, 9);
    log.clear();
    cursor.post();
    QCOMPARE(marks(model).last(), browse);
    QVERIFY(log.all().contains(u"mark 4"_s));

    cursor.close();
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
}

void TestCursorTableModel::setDataOnlyOnCurrentRow() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(cursor);
    cursor.moveTo(1);
    log.clear();

    // Another row, or another role, is refused and leaves the record alone.
    QVERIFY(!model.setData(model.index(0, Content), u"别的行"_s));
    QVERIFY(!model.setData(model.index(1, Content), u"显示"_s, Qt::DisplayRole));
    QCOMPARE(cursor.state(), CursorState::Browse);
    QCOMPARE(text(model, 0, Content), kContents[0]);
    QCOMPARE(text(model, 1, Content), kContents[1]);
    QVERIFY(log.all().isEmpty());

    // A view repainting on dataChanged already reads the new text.
    QStringList painted;
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex& from) { painted << text(model, from.row(), Content); });
    QVERIFY(model.setData(model.index(1, Content), u"新的内容"_s));
    QCOMPARE(cursor.state(), CursorState::Edit);
    QCOMPARE(cursor.asString(u"QstCon"_s), u"新的内容"_s);
    QCOMPARE(text(model, 1, Content), u"新的内容"_s);
    QCOMPARE(log.of({u"data"_s}), QStringList{u"data 1"_s});
    QCOMPARE(painted, QStringList{u"新的内容"_s});

    QVERIFY(model.setData(model.index(1, Flag), u"True"_s));
    QVERIFY(cursor.asBoolean(u"IsTrue"_s));
    QCOMPARE(text(model, 1, Flag), u"True"_s);
    cursor.post();
    QCOMPARE(stored(u"QstCon"_s, 2), u"新的内容"_s);
    QCOMPARE(banktest::count(m_conn, u"question where QstID = 2 and IsTrue = 1"_s), 1);

    // The text a field already holds is taken but changes nothing.
    log.clear();
    QVERIFY(model.setData(model.index(1, Content), u"新的内容"_s));
    QCOMPARE(cursor.state(), CursorState::Edit);
    QVERIFY(!cursor.isModified());
    QVERIFY(log.of({u"data"_s}).isEmpty());
    cursor.cancel();

    // A new record takes values and stays new.
    cursor.insert();
    QVERIFY(model.setData(model.index(4, Content), u"新题"_s));
    QCOMPARE(cursor.state(), CursorState::Insert);
    QCOMPARE(text(model, 4, Content), u"新题"_s);
    QVERIFY(!model.setData(model.index(1, Content), u"旧题"_s));
    QCOMPARE(text(model, 1, Content), u"新的内容"_s);

    // Without a current record nothing is taken.
    cursor.close();
    QVERIFY(!model.setData(model.index(0, Content), u"x"_s));
}

void TestCursorTableModel::integerColumnJudgedAtPost_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("kept");

    QTest::newRow("letters") << u"abc"_s << true << QString();
    QTest::newRow("digits then a letter") << u"12x"_s << true << QString();
    QTest::newRow("fraction") << u"2.5"_s << true << QString();
    QTest::newRow("number") << u"12"_s << false << u"12"_s;
    QTest::newRow("number in blanks") << u" 7 "_s << false << u"7"_s;
    QTest::newRow("negative") << u"-3"_s << false << u"-3"_s;
    QTest::newRow("empty means no score") << QString() << false << QString();
}

void TestCursorTableModel::integerColumnJudgedAtPost() {
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    QFETCH(QString, kept);

    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    openPaper(cursor);
    cursor.moveTo(1);

    // The buffer takes any text; the cell shows what was typed.
    QVERIFY(model.setData(model.index(1, Score), typed));
    QCOMPARE(cursor.state(), CursorState::Edit);
    QCOMPARE(text(model, 1, Score), typed.trimmed().isEmpty() ? QString() : typed);
    const QString editing = model.headerData(1, Qt::Vertical).toString();

    if (refused) {
        QVERIFY_THROWS_EXCEPTION(EngineError, cursor.post());
        // Still editing with the typed text, so the teacher can correct it.
        QCOMPARE(cursor.state(), CursorState::Edit);
        QCOMPARE(text(model, 1, Score), typed);
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), editing);
        QCOMPARE(stored(u"QstScr"_s, 2), u"10"_s);
        cursor.cancel();
        QCOMPARE(text(model, 1, Score), u"10"_s);
    } else {
        cursor.post();
        QCOMPARE(cursor.state(), CursorState::Browse);
        QCOMPARE(stored(u"QstScr"_s, 2), kept);
        QCOMPARE(text(model, 1, Score), kept);
    }
}

// Edits run through the guard, so an engine error reaches the program's handler.
void TestCursorTableModel::editErrorsReachGuard() {
    TableCursor cursor(m_conn, u"question"_s);
    // A column for a field the table lacks makes the cursor refuse the edit.
    CursorTableModel model(cursor, {kColumns[Content], {u"NoSuchField"_s, u"无"_s}});
    openPaper(cursor);
    QStringList caught;
    int runs = 0;
    model.setGuard([&](const std::function<void()>& fn) {
        ++runs;
        try {
            fn();
        } catch (const EngineError& e) {
            caught << e.message();
        }
    });

    QVERIFY(model.setData(model.index(0, 0), u"有效"_s));
    QCOMPARE(runs, 1);
    QVERIFY(caught.isEmpty());
    QCOMPARE(cursor.asString(u"QstCon"_s), u"有效"_s);

    QVERIFY(!model.setData(model.index(0, 1), u"无效"_s));
    QCOMPARE(runs, 2);
    QCOMPARE(caught.size(), 1);
    QVERIFY2(caught[0].contains(u"NoSuchField"_s), qPrintable(caught[0]));
}

// A grid's editor still holding text is asked for it before the record is
// posted or left; what it puts in then is stored with the record.
void TestCursorTableModel::typedTextRequestedBeforeLeaving_data() {
    QTest::addColumn<Step>("act");
    QTest::addColumn<bool>("stores");

    QTest::newRow("post") << Step([](TableCursor& c) { c.post(); }) << true;
    QTest::newRow("next") << Step([](TableCursor& c) { c.next(); }) << true;
    QTest::newRow("prior") << Step([](TableCursor& c) { c.prior(); }) << true;
    QTest::newRow("first") << Step([](TableCursor& c) { c.first(); }) << true;
    QTest::newRow("last") << Step([](TableCursor& c) { c.last(); }) << true;
    QTest::newRow("move to the same row") << Step([](TableCursor& c) { c.moveTo(1); }) << true;
    QTest::newRow("locate") << Step([](TableCursor& c) { c.locate(u"QstIdx"_s, u"4"_s); }) << true;
    QTest::newRow("insert") << Step([](TableCursor& c) { c.insert(); }) << true;
    QTest::newRow("new filter") << Step([](TableCursor& c) { c.setFilter(u"PapIdx = 2"_s); })
                                << true;
    QTest::newRow("refresh") << Step([](TableCursor& c) { c.refresh(); }) << true;
    QTest::newRow("cancel") << Step([](TableCursor& c) { c.cancel(); }) << false;
    QTest::newRow("close") << Step([](TableCursor& c) { c.close(); }) << false;
}

void TestCursorTableModel::typedTextRequestedBeforeLeaving() {
    QFETCH(Step, act);
    QFETCH(bool, stores);

    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(cursor);
    cursor.moveTo(1);
    cursor.addHandler(CursorEvent::AfterPost, [&] { log.note(u"AfterPost"_s); });
    // The record is in editing, not yet changed: only the editor's text changes it.
    cursor.edit();
    bool onRecord = false;
    bool asked = false;
    connect(&model, &CursorTableModel::updateRecordRequested, this, [&] {
        if (asked)
            return;
        asked = true;
        onRecord = cursor.state() == CursorState::Edit && cursor.recNo() == 1;
        QVERIFY(model.setData(model.index(model.currentRow(), Content), u"编辑器里的字"_s));
    });
    log.clear();

    act(cursor);
    if (stores) {
        QCOMPARE(log.of({u"update"_s, u"AfterPost"_s}), (QStringList{u"update"_s, u"AfterPost"_s}));
        QVERIFY(onRecord);
        QCOMPARE(stored(u"QstCon"_s, 2), u"编辑器里的字"_s);
    } else {
        QVERIFY(log.of({u"update"_s, u"AfterPost"_s}).isEmpty());
        QCOMPARE(stored(u"QstCon"_s, 2), kContents[1]);
    }
}

void TestCursorTableModel::suspendedViewsCatchUpOnResume() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(cursor);
    cursor.moveTo(1);
    log.clear();

    cursor.suspendViews();
    cursor.insert();
    fillNew(cursor, 9);
    cursor.setString(u"QstCon"_s, u"新题"_s);
    cursor.post();
    cursor.first();
    cursor.remove();
    cursor.edit();
    cursor.setString(u"QstCon"_s, u"改过"_s);
    cursor.post();
    QVERIFY(log.all().isEmpty());

    cursor.resumeViews();
    QCOMPARE(log.rowSignals(), QStringList{u"reset"_s});
    QCOMPARE(log.of({u"current"_s}), QStringList{u"current 0"_s});
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.currentRow(), 0);
    QCOMPARE(columnTexts(model, Content),
             (QStringList{u"改过"_s, kContents[2], kContents[3], u"新题"_s}));
}

void TestCursorTableModel::disabledShowsNoRows() {
    TableCursor cursor(m_conn, u"question"_s);
    CursorTableModel model(cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(cursor);
    cursor.moveTo(1);
    QVERIFY(model.isEnabled());
    log.clear();

    model.setEnabled(false);
    QVERIFY(!model.isEnabled());
    QCOMPARE(log.all(), (QStringList{u"reset"_s, u"current -1"_s, u"enabled 0"_s}));
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.currentRow(), -1);
    QVERIFY(!model.setData(model.index(0, Content), u"x"_s));

    log.clear();
    model.setEnabled(false);
    QVERIFY(log.all().isEmpty());

    // The cursor goes on; the model shows none of it, a new set of rows included.
    cursor.next();
    cursor.edit();
    cursor.setString(u"QstCon"_s, u"改过"_s);
    cursor.post();
    cursor.insert();
    fillNew(cursor, 9);
    cursor.post();
    cursor.remove();
    cursor.refresh();
    QVERIFY(log.of({u"inserted"_s, u"removed"_s, u"data"_s, u"mark"_s, u"current"_s}).isEmpty());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.currentRow(), -1);

    log.clear();
    model.setEnabled(true);
    QCOMPARE(log.rowSignals(), QStringList{u"reset"_s});
    QCOMPARE(log.of({u"enabled"_s}), QStringList{u"enabled 1"_s});
    QCOMPARE(model.rowCount(), cursor.recordCount());
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.currentRow(), cursor.recNo());
    QCOMPARE(log.of({u"current"_s}), QStringList{u"current %1"_s.arg(cursor.recNo())});
    QCOMPARE(text(model, 2, Content), u"改过"_s);
    QVERIFY(!model.headerData(cursor.recNo(), Qt::Vertical).toString().isEmpty());
}

void TestCursorTableModel::cursorDestroyedFirst_data() {
    QTest::addColumn<Step>("prepare");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("browsing") << Step([](TableCursor& c) { c.next(); }) << true;
    QTest::newRow("inserting") << Step([](TableCursor& c) { c.insert(); }) << true;
    QTest::newRow("views suspended") << Step([](TableCursor& c) { c.suspendViews(); }) << true;
    QTest::newRow("model disabled") << Step([](TableCursor&) {}) << false;
    QTest::newRow("closed") << Step([](TableCursor& c) { c.close(); }) << true;
}

void TestCursorTableModel::cursorDestroyedFirst() {
    QFETCH(Step, prepare);
    QFETCH(bool, enabled);

    auto cursor = std::make_unique<TableCursor>(m_conn, u"question"_s);
    CursorTableModel model(*cursor, kColumns);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(model);
    openPaper(*cursor);
    model.setEnabled(enabled);
    prepare(*cursor);
    log.clear();

    cursor.reset();
    QCOMPARE(log.rowSignals(), QStringList{u"reset"_s});
    QCOMPARE(model.cursor(), nullptr);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.currentRow(), -1);
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), kColumns[0].title);

    // Nothing brings the rows back or reaches for the cursor.
    model.setEnabled(!enabled);
    model.setEnabled(enabled);
    model.setEnabled(true);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.currentRow(), -1);
    QVERIFY(!model.setData(model.index(0, 0), u"x"_s));
}

void TestCursorTableModel::modelDestroyedFirst() {
    TableCursor cursor(m_conn, u"question"_s);
    {
        CursorTableModel model(cursor, kColumns);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        openPaper(cursor);
        cursor.next();
        cursor.edit();
        cursor.setString(u"QstCon"_s, u"改过"_s);
    }

    // Every kind of change, each of which would tell a bound model.
    cursor.post();
    cursor.insert();
    fillNew(cursor, 9);
    cursor.setString(u"QstCon"_s, u"新题"_s);
    cursor.post();
    cursor.first();
    cursor.remove();
    cursor.suspendViews();
    cursor.resumeViews();
    cursor.setFilter(u"PapIdx = 2"_s);
    cursor.setFilter(u"PapIdx = 1"_s);
    cursor.refresh();
    cursor.close();
    cursor.open();
    QCOMPARE(stored(u"QstCon"_s, 2), u"改过"_s);
    QCOMPARE(stored(u"QstCon"_s, 9), u"新题"_s);
    QCOMPARE(banktest::count(m_conn, u"question where QstID = 1"_s), 0);

    // A model bound afterwards follows the cursor as usual.
    CursorTableModel later(cursor, kColumns);
    QAbstractItemModelTester tester(&later, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ModelLog log(later);
    QCOMPARE(columnTexts(later, Content),
             (QStringList{u"改过"_s, kContents[2], kContents[3], u"新题"_s}));
    cursor.last();
    QCOMPARE(log.of({u"current"_s}), QStringList{u"current 3"_s});
}

// The grids' in-cell lists: only the exact field texts have an item, and
// only the exact items have a field text.
void TestCursorTableModel::truOrFalse_data() {
    QTest::addColumn<bool>("toItem");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("True") << true << u"True"_s << u"正确"_s;
    QTest::newRow("False") << true << u"False"_s << u"错误"_s;
    QTest::newRow("lower case") << true << u"true"_s << QString();
    QTest::newRow("upper case") << true << u"TRUE"_s << QString();
    QTest::newRow("leading blank") << true << u" True"_s << QString();
    QTest::newRow("trailing blank") << true << u"False "_s << QString();
    QTest::newRow("empty field") << true << QString() << QString();
    QTest::newRow("1") << true << u"1"_s << QString();
    QTest::newRow("other word") << true << u"是"_s << QString();
    QTest::newRow("an item") << true << u"正确"_s << QString();

    QTest::newRow("正确") << false << u"正确"_s << u"True"_s;
    QTest::newRow("错误") << false << u"错误"_s << u"False"_s;
    QTest::newRow("item with blank") << false << u" 正确"_s << QString();
    QTest::newRow("item with trailing blank") << false << u"错误 "_s << QString();
    QTest::newRow("empty item") << false << QString() << QString();
    QTest::newRow("similar word") << false << u"对"_s << QString();
    QTest::newRow("a field text") << false << u"True"_s << QString();
}

void TestCursorTableModel::truOrFalse() {
    QFETCH(bool, toItem);
    QFETCH(QString, input);
    QFETCH(QString, expected);

    QCOMPARE(toItem ? FieldToTruOrFalse(input) : TruOrFalseToField(input), expected);
}

QTEST_GUILESS_MAIN(TestCursorTableModel)
#include "tst_cursortablemodel.moc"
