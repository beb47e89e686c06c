// The static table cursor on a bank made from the real schema.
#include "storefixture.h"

#include "store/engineerror.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tess;
using namespace storetest;
using namespace Qt::StringLiterals;

namespace {

const QStringList kPaper{u"PapID"_s, u"PapNam"_s, u"PapScr"_s, u"PapSav"_s, u"PapCtg"_s};

// Logs what a cursor tells its handlers and its views, in order.
struct Recorder {
    QStringList log;
    void attach(TableCursor& cursor) {
        const std::pair<CursorEvent, QString> events[] = {
            {CursorEvent::AfterOpen, u"AfterOpen"_s},
            {CursorEvent::BeforeClose, u"BeforeClose"_s},
            {CursorEvent::BeforeInsert, u"BeforeInsert"_s},
            {CursorEvent::AfterInsert, u"AfterInsert"_s},
            {CursorEvent::AfterPost, u"AfterPost"_s},
            {CursorEvent::AfterScroll, u"AfterScroll"_s},
            {CursorEvent::AfterDelete, u"AfterDelete"_s}};
        for (const auto& [event, name] : events) {
            const QString text = name;
            cursor.addHandler(event, [this, text] { log << text; });
        }
        link = cursor.addView([this](ViewChange change, int row) {
            switch (change) {
            case ViewChange::RowsReset:
                log << u"view:rows"_s;
                break;
            case ViewChange::RowsChanged:
                log << u"view:changed"_s;
                break;
            case ViewChange::RowInserted:
                log << u"view:inserted %1"_s.arg(row);
                break;
            case ViewChange::RowRemoving:
                log << u"view:removing %1"_s.arg(row);
                break;
            case ViewChange::RowRemoved:
                log << u"view:removed %1"_s.arg(row);
                break;
            case ViewChange::DataChange:
                log << u"view:data"_s;
                break;
            case ViewChange::StateChange:
                log << u"view:state"_s;
                break;
            case ViewChange::UpdateRecord:
                log << u"view:update"_s;
                break;
            case ViewChange::Detached:
                log << u"view:detached"_s;
                break;
            }
        });
    }
    ViewLink link;
};

} // namespace

class TestTableCursor : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_bank;
    Connection m_conn;

    void addPapers(const QList<int>& ids);

private Q_SLOTS:
    void init();
    void cleanup();

    void ordersByIdentifier();
    void usersKeepInsertionOrder();
    void filters_data();
    void filters();
    void refusesMalformedFilters_data();
    void refusesMalformedFilters();
    void newFilterOnOpenCursorMovesToFirst();
    void staticUntilRefresh();
    void navigation();
    void emptyCursor();
    void locate_data();
    void locate();
    void insertPostAndCancel();
    void editPostsOnlyChangedColumns();
    void editCancelAndEmptyCursorEdit();
    void movingPostsChangedAndDropsUnchanged();
    void removeRecords();
    void typedFields();
    void refusesWhatColumnsCannotHold_data();
    void refusesWhatColumnsCannotHold();
    void statementsRefuseWhatColumnsCannotHold_data();
    void statementsRefuseWhatColumnsCannotHold();
    void notificationOrder_data();
    void notificationOrder();
    void suspendAndResumeViews();
    void viewsAndCursorDieInEitherOrder();
    void beforeLeaveStopsTheOperation();
    void handlersFillNewRecord();
    void identifierClashBetweenTwoPrograms();
    void postsLeaveTheBankFreeForOthers();
    void postsGoToTheBankOpenNow();
    void editOfRecordDeletedElsewhereFails();
    void closedCursorRefusesFieldAccess();
};

void TestTableCursor::init() {
    QVERIFY(m_dir.isValid());
    m_bank = m_dir.filePath(u"bank.mdb"_s);
    QFile::remove(m_bank);
    banktest::freshBank(m_bank);
    openConnection(m_conn, m_bank);
}

void TestTableCursor::cleanup() {
    m_conn.close();
    QFile::remove(m_bank);
}

void TestTableCursor::addPapers(const QList<int>& ids) {
    const QVariantList categories{u"数学"_s, u"O'Neil"_s, QVariant(), u"Math"_s, u"math"_s};
    banktest::SetupTransaction rows(m_conn);
    for (int id : ids)
        addRecord(m_conn, u"paper"_s, kPaper,
                  {id, u"卷"_s + QString::number(id), id * 10,
                   u"/tmp/"_s + QString::number(id) + u".html"_s,
                   categories.value((id - 1) % categories.size())});
    rows.commit();
}

void TestTableCursor::ordersByIdentifier() {
    TableCursor paper(m_conn, u"paper"_s);
    QCOMPARE(paper.identityColumn(), QStringLiteral("PapID"));
    paper.open();
    for (int id : {3, 1, 2}) {
        paper.insert();
        paper.setInteger(u"PapID"_s, id);
        paper.post();
    }
    // A record just added comes last until the rows are read again.
    QCOMPARE(ids(paper, u"PapID"_s), (QList<int>{3, 1, 2}));
    QCOMPARE(paper.recNo(), 2);
    // Found by identifier among rows added since the read, too.
    QVERIFY(paper.locate(u"PapID"_s, u"1"_s));
    QCOMPARE(paper.recNo(), 1);
    paper.close();
    paper.open();
    QCOMPARE(ids(paper, u"PapID"_s), (QList<int>{1, 2, 3}));
    paper.insert();
    paper.setInteger(u"PapID"_s, 0);
    paper.post();
    for (int id : {0, 3, 1, 2}) {
        QVERIFY(paper.locate(u"PapID"_s, QString::number(id)));
        QCOMPARE(paper.asInteger(u"PapID"_s), id);
    }
    paper.moveTo(0);
    paper.remove();
    QVERIFY(paper.locate(u"PapID"_s, u"3"_s));
    QCOMPARE(paper.recNo(), 1);
    QVERIFY(paper.locate(u"PapID"_s, u"0"_s));
    QVERIFY(!paper.locate(u"PapID"_s, u"1"_s));

    // Under a filter, read through another index, still in identifier order.
    m_conn.execute(u"insert into question (QstID, PapIdx, QstIdx) values (30, 1, 1), (10, 2, 1),"
                   u" (20, 1, 2), (5, 1, 3)"_s);
    TableCursor question(m_conn, u"question"_s);
    question.setFilter(u"PapIdx = 1"_s);
    question.open();
    QCOMPARE(ids(question, u"QstID"_s), (QList<int>{5, 20, 30}));
}

void TestTableCursor::usersKeepInsertionOrder() {
    addRecord(m_conn, u"users"_s, {u"acount"_s, u"password"_s}, {u"zed"_s, u"1"_s});
    addRecord(m_conn, u"users"_s, {u"acount"_s, u"password"_s}, {u"bob"_s, u"2"_s});
    TableCursor users(m_conn, u"users"_s);
    QVERIFY(users.identityColumn().isEmpty());
    users.setFilter(u"acount <> 'Admin'"_s);
    users.open();
    QCOMPARE(users.recordCount(), 2);
    QCOMPARE(users.textAt(0, u"acount"_s), QStringLiteral("zed"));
    QCOMPARE(users.textAt(1, u"ACOUNT"_s), QStringLiteral("bob"));
}

void TestTableCursor::filters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("empty") << u""_s << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("text") << u"PapCtg = '数学'"_s << QList<int>{1};
    QTest::newRow("doubled quote") << u"papctg='O''Neil'"_s << QList<int>{2};
    QTest::newRow("text ignores case") << u"PapCtg = 'MATH'"_s << QList<int>{4, 5};
    QTest::newRow("less") << u"PapID < 3"_s << QList<int>{1, 2};
    QTest::newRow("not equal") << u"PAPID <> 2"_s << QList<int>{1, 3, 4, 5};
    QTest::newRow("not equal text skips null") << u"PapCtg <> '数学'"_s << QList<int>{2, 4, 5};
    QTest::newRow("negative number") << u"PapScr < -1"_s << QList<int>{};
    QTest::newRow("number") << u"PapScr = 30"_s << QList<int>{3};
    QTest::newRow("blanks around") << u"  PapID   =   4  "_s << QList<int>{4};
}

void TestTableCursor::filters() {
    QFETCH(QString, filter);
    QFETCH(QList<int>, expected);
    addPapers({5, 3, 1, 4, 2});
    TableCursor paper(m_conn, u"paper"_s);
    paper.setFilter(filter);
    paper.open();
    QCOMPARE(ids(paper, u"PapID"_s), expected);
    QCOMPARE(paper.recordCount(), expected.size());
    QCOMPARE(paper.isEmpty(), expected.isEmpty());
}

void TestTableCursor::refusesMalformedFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::newRow("lone quote inside") << u"PapCtg = 'a'b'"_s;
    QTest::newRow("unknown operator") << u"PapCtg ~ 1"_s;
    QTest::newRow("bare word") << u"PapCtg = abc"_s;
    QTest::newRow("no column") << u"= 1"_s;
    QTest::newRow("open quote") << u"PapCtg = 'abc"_s;
    QTest::newRow("unknown column") << u"Nope = 1"_s;
}

void TestTableCursor::refusesMalformedFilters() {
    QFETCH(QString, filter);
    addPapers({1, 2});
    TableCursor paper(m_conn, u"paper"_s);
    paper.setFilter(u"PapID = 2"_s);
    paper.open();
    try {
        paper.setFilter(filter);
        QFAIL("a malformed filter was taken");
    } catch (const EngineError& e) {
        QVERIFY2(e.message().contains(filter.trimmed()), qPrintable(e.message()));
    }
    // The cursor keeps its filter and rows.
    QCOMPARE(paper.filter(), QStringLiteral("PapID = 2"));
    QCOMPARE(ids(paper, u"PapID"_s), QList<int>{2});

    TableCursor closed(m_conn, u"paper"_s);
    QVERIFY_THROWS_EXCEPTION(EngineError, {
        closed.setFilter(filter);
        closed.open();
    });
    QVERIFY(!closed.isOpen());
}

void TestTableCursor::newFilterOnOpenCursorMovesToFirst() {
    addPapers({1, 2, 3, 4, 5});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.last();
    int scrolls = 0;
    paper.addHandler(CursorEvent::AfterScroll, [&] { ++scrolls; });
    paper.setFilter(u"PapID > 2"_s);
    QCOMPARE(scrolls, 1);
    QCOMPARE(paper.recNo(), 0);
    QCOMPARE(paper.asInteger(u"PapID"_s), 3);
    QVERIFY(paper.bof());
    paper.next();
    QCOMPARE(scrolls, 2);
    paper.setFilter(u"PapID > 2"_s);
    QCOMPARE(scrolls, 2);
    QCOMPARE(paper.asInteger(u"PapID"_s), 4);
    // A filter set on a closed cursor waits for the opening.
    paper.close();
    paper.setFilter(u"PapID = 1"_s);
    QCOMPARE(scrolls, 2);
    paper.open();
    QCOMPARE(ids(paper, u"PapID"_s), QList<int>{1});
}

void TestTableCursor::staticUntilRefresh() {
    addPapers({1, 2, 3});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.moveTo(2);
    Command cmd(m_conn);
    cmd.setText(u"delete * from paper where PapID = 1"_s);
    cmd.execute();
    addRecord(m_conn, u"paper"_s, kPaper, {7, u"新"_s, 1, u""_s, u""_s});
    QCOMPARE(ids(paper, u"PapID"_s), (QList<int>{1, 2, 3}));
    QCOMPARE(paper.asInteger(u"PapID"_s), 3);

    paper.refresh();
    QCOMPARE(ids(paper, u"PapID"_s), (QList<int>{2, 3, 7}));
    QCOMPARE(paper.asInteger(u"PapID"_s), 3); // still on the same record

    cmd.setText(u"delete from paper where PapID = 3"_s);
    cmd.execute();
    paper.refresh();
    QCOMPARE(ids(paper, u"PapID"_s), (QList<int>{2, 7}));
    QCOMPARE(paper.recNo(), 0);

    cmd.setText(u"delete * from paper"_s);
    cmd.execute();
    QCOMPARE(paper.recordCount(), 2);
    paper.close();
    paper.open();
    QVERIFY(paper.isEmpty());
}

void TestTableCursor::navigation() {
    addPapers({1, 2, 3});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    QVERIFY(paper.bof());
    QVERIFY(!paper.eof());
    QCOMPARE(paper.recNo(), 0);

    QList<int> seen;
    for (paper.first(); !paper.eof(); paper.next())
        seen << paper.asInteger(u"PapID"_s);
    QCOMPARE(seen, (QList<int>{1, 2, 3}));
    QCOMPARE(paper.recNo(), 2); // next on the last record does not move

    seen.clear();
    for (paper.last(); !paper.bof(); paper.prior())
        seen << paper.asInteger(u"papid"_s);
    QCOMPARE(seen, (QList<int>{3, 2, 1}));
    QCOMPARE(paper.recNo(), 0);

    paper.moveTo(1);
    QCOMPARE(paper.asInteger(u"PapID"_s), 2);
    QVERIFY(!paper.bof() && !paper.eof());
    paper.moveTo(99);
    QCOMPARE(paper.asInteger(u"PapID"_s), 3);
    paper.moveTo(-5);
    QCOMPARE(paper.asInteger(u"PapID"_s), 1);
}

void TestTableCursor::emptyCursor() {
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    QVERIFY(paper.isEmpty());
    QVERIFY(paper.eof());
    QVERIFY(paper.bof());
    QCOMPARE(paper.recNo(), -1);
    paper.first();
    paper.next();
    paper.last();
    paper.prior();
    QCOMPARE(paper.recNo(), -1);
    QVERIFY(paper.isNull(u"PapNam"_s));
    QCOMPARE(paper.asInteger(u"PapScr"_s), 0);
    QCOMPARE(paper.asString(u"PapNam"_s), QString());
    QVERIFY(!paper.locate(u"PapNam"_s, u"x"_s));
}

void TestTableCursor::locate_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expectedId"); // 0: not found, the cursor stays on paper 2

    QTest::newRow("text ignoring case") << u"PapCtg"_s << u"MATH"_s << 4;
    QTest::newRow("quote") << u"papctg"_s << u"o'neil"_s << 2;
    QTest::newRow("chinese") << u"PapNam"_s << u"卷3"_s << 3;
    QTest::newRow("identifier as text") << u"PapID"_s << u"5"_s << 5;
    QTest::newRow("missing") << u"PapID"_s << u"9"_s << 0;
    QTest::newRow("empty matches no null") << u"PapCtg"_s << u""_s << 0;
}

void TestTableCursor::locate() {
    QFETCH(QString, column);
    QFETCH(QString, value);
    QFETCH(int, expectedId);
    addPapers({1, 2, 3, 4, 5});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.moveTo(1);
    QCOMPARE(paper.locate(column, value), expectedId != 0);
    QCOMPARE(paper.asInteger(u"PapID"_s), expectedId != 0 ? expectedId : 2);
}

void TestTableCursor::insertPostAndCancel() {
    addPapers({1, 2});
    TableCursor question(m_conn, u"question"_s);
    question.open();
    question.insert();
    QCOMPARE(question.state(), CursorState::Insert);
    QVERIFY(question.isEditing());
    QVERIFY(!question.isModified());
    QCOMPARE(question.recordCount(), 1);
    // The schema's defaults: a flag is never null.
    QCOMPARE(question.asString(u"IsTrue"_s), QStringLiteral("False"));
    QVERIFY(question.isNull(u"QstScr"_s));
    question.setInteger(u"QstID"_s, 1);
    question.setInteger(u"PapIdx"_s, 2);
    question.setString(u"QstTyp"_s, u"判断题"_s);
    QVERIFY(question.isModified());
    question.post();
    QCOMPARE(question.state(), CursorState::Browse);
    QCOMPARE(count(m_conn, u"question"_s), 1);

    // A started record that is cancelled disappears; the cursor goes back.
    question.insert();
    QCOMPARE(question.recordCount(), 2);
    QCOMPARE(question.recNo(), 1);
    question.setInteger(u"QstID"_s, 2);
    question.cancel();
    QCOMPARE(question.recordCount(), 1);
    QCOMPARE(question.recNo(), 0);
    QCOMPARE(question.asInteger(u"QstID"_s), 1);
    QCOMPARE(count(m_conn, u"question"_s), 1);

    Query q(m_conn);
    q.setSql(u"select * from question"_s);
    q.open();
    QCOMPARE(q.asInteger(u"PapIdx"_s), 2);
    QCOMPARE(q.asString(u"QstTyp"_s), QStringLiteral("判断题"));
    QCOMPARE(q.asString(u"IsTrue"_s), QStringLiteral("False"));
    QVERIFY(q.isNull(u"QstIdx"_s));
}

void TestTableCursor::editPostsOnlyChangedColumns() {
    addPapers({1});
    TableCursor a(m_conn, u"paper"_s);
    TableCursor b(m_conn, u"paper"_s);
    a.open();
    b.open();
    a.edit();
    a.setString(u"PapNam"_s, u"新名字"_s);
    a.post();
    // b still shows the old name; its post must not bring it back.
    b.edit();
    b.setString(u"PapScr"_s, u"77"_s);
    b.post();
    QCOMPARE(b.asInteger(u"PapScr"_s), 77);
    Query q(m_conn);
    q.setSql(u"select PapNam, PapScr from paper"_s);
    q.open();
    QCOMPARE(q.asString(u"PapNam"_s), QStringLiteral("新名字"));
    QCOMPARE(q.asInteger(u"PapScr"_s), 77);
}

void TestTableCursor::editCancelAndEmptyCursorEdit() {
    addPapers({1});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.edit();
    QCOMPARE(paper.state(), CursorState::Edit);
    paper.setString(u"PapNam"_s, u"改了"_s);
    QCOMPARE(paper.asString(u"PapNam"_s), QStringLiteral("改了"));
    QCOMPARE(paper.textAt(0, u"PapNam"_s), QStringLiteral("改了")); // views see the buffer
    paper.cancel();
    QCOMPARE(paper.asString(u"PapNam"_s), QStringLiteral("卷1"));
    QVERIFY(!paper.isModified());

    // Changing a field outside the edit state is refused.
    QVERIFY_THROWS_EXCEPTION(EngineError, paper.setString(u"PapNam"_s, u"x"_s));

    Command cmd(m_conn);
    cmd.setText(u"delete * from paper"_s);
    cmd.execute();
    TableCursor empty(m_conn, u"paper"_s);
    bool inserted = false;
    empty.addHandler(CursorEvent::AfterInsert, [&] { inserted = true; });
    empty.open();
    empty.edit();
    QVERIFY(inserted);
    QCOMPARE(empty.state(), CursorState::Insert);
}

void TestTableCursor::movingPostsChangedAndDropsUnchanged() {
    addPapers({1, 2});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.edit();
    paper.setString(u"PapNam"_s, u"改"_s);
    paper.next();
    QCOMPARE(paper.state(), CursorState::Browse);
    QCOMPARE(paper.textAt(0, u"PapNam"_s), QStringLiteral("改"));
    Query q(m_conn);
    q.setSql(u"select PapNam from paper where PapID = 1"_s);
    q.open();
    QCOMPARE(q.asString(u"PapNam"_s), QStringLiteral("改"));

    // A new record nobody filled is dropped by a move; a filled one is kept.
    paper.insert();
    paper.first();
    QCOMPARE(paper.recordCount(), 2);
    paper.insert();
    paper.setInteger(u"PapID"_s, 3);
    paper.first();
    QCOMPARE(paper.recordCount(), 3);
    QCOMPARE(count(m_conn, u"paper"_s), 3);
}

void TestTableCursor::removeRecords() {
    addPapers({1, 2, 3});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.moveTo(1);
    paper.remove();
    QCOMPARE(ids(paper, u"PapID"_s), (QList<int>{1, 3}));
    QCOMPARE(paper.asInteger(u"PapID"_s), 3);
    paper.remove();
    QCOMPARE(paper.asInteger(u"PapID"_s), 1); // the last one went: the new last is current
    paper.remove();
    QVERIFY(paper.isEmpty());
    QVERIFY(paper.eof());
    QCOMPARE(count(m_conn, u"paper"_s), 0);
    QVERIFY_THROWS_EXCEPTION(EngineError, paper.remove());

    // Removing a started record only drops it.
    paper.insert();
    paper.setInteger(u"PapID"_s, 9);
    paper.remove();
    QVERIFY(paper.isEmpty());
    QCOMPARE(count(m_conn, u"paper"_s), 0);
}

void TestTableCursor::typedFields() {
    TableCursor question(m_conn, u"question"_s);
    question.open();
    question.insert();
    question.setInteger(u"QstID"_s, 1);
    question.setInteger(u"PapIdx"_s, 1);
    question.setString(u"IsTrue"_s, u"True"_s);
    QCOMPARE(question.asString(u"IsTrue"_s), QStringLiteral("True"));
    QVERIFY(question.asBoolean(u"istrue"_s));
    question.setString(u"QstScr"_s, u" 12 "_s);
    question.setString(u"QstIdx"_s, u""_s);
    question.setString(u"QstCon"_s, u""_s);
    question.post();
    QCOMPARE(question.value(u"IsTrue"_s), QVariant(true));
    QCOMPARE(question.asString(u"IsTrue"_s), QStringLiteral("True"));
    QCOMPARE(question.asInteger(u"QstScr"_s), 12);
    QCOMPARE(question.asString(u"QstScr"_s), QStringLiteral("12"));
    QVERIFY(question.isNull(u"QstIdx"_s));
    QCOMPARE(question.asInteger(u"QstIdx"_s), 0);
    QCOMPARE(question.asString(u"QstCon"_s), QString()); // an empty text stays a text
    QVERIFY(!question.isNull(u"QstCon"_s));

    question.edit();
    question.setBoolean(u"IsTrue"_s, false);
    question.setNull(u"QstScr"_s);
    question.post();
    QCOMPARE(question.asString(u"IsTrue"_s), QStringLiteral("False"));
    QVERIFY(!question.asBoolean(u"IsTrue"_s));
    QVERIFY(question.isNull(u"QstScr"_s));

    QVERIFY(question.hasColumn(u"qstcon"_s));
    QVERIFY(!question.hasColumn(u"nothing"_s));
    QCOMPARE(question.columns(), (QStringList{u"QstID"_s, u"PapIdx"_s, u"QstIdx"_s, u"QstTyp"_s,
                                              u"QstScr"_s, u"QstCon"_s, u"IsTrue"_s}));
    QVERIFY_THROWS_EXCEPTION(EngineError, question.value(u"nothing"_s));
}

void TestTableCursor::refusesWhatColumnsCannotHold_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("messageParts");

    QTest::newRow("text in integer")
        << u"PapScr"_s << QVariant(u"abc"_s) << QStringList{u"PapScr"_s, u"abc"_s, u"整数"_s};
    QTest::newRow("lone sign") << u"PapScr"_s << QVariant(u"-"_s)
                               << QStringList{u"PapScr"_s, u"整数"_s};
    QTest::newRow("beyond 32 bits") << u"PapScr"_s << QVariant(qlonglong(3000000000))
                                    << QStringList{u"PapScr"_s, u"3000000000"_s, u"范围"_s};
    QTest::newRow("below 32 bits")
        << u"PapScr"_s << QVariant(u"-2147483649"_s) << QStringList{u"PapScr"_s, u"范围"_s};
    QTest::newRow("fraction") << u"PapScr"_s << QVariant(1.5) << QStringList{u"PapScr"_s, u"1.5"_s};
    QTest::newRow("null identifier")
        << u"PapID"_s << QVariant() << QStringList{u"PapID"_s, u"不能为空"_s};
}

void TestTableCursor::refusesWhatColumnsCannotHold() {
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QStringList, messageParts);
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.insert();
    paper.setInteger(u"PapID"_s, 1);
    paper.setValue(column, value);
    try {
        paper.post();
        QFAIL("the value was stored");
    } catch (const EngineError& e) {
        for (const QString& part : messageParts)
            QVERIFY2(e.message().contains(part), qPrintable(e.message()));
    }
    // The record stays started; once mended it posts.
    QCOMPARE(paper.state(), CursorState::Insert);
    QCOMPARE(count(m_conn, u"paper"_s), 0);
    paper.setInteger(column, 5);
    paper.post();
    QCOMPARE(count(m_conn, u"paper"_s), 1);
}

void TestTableCursor::statementsRefuseWhatColumnsCannotHold_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("messageParts");

    QTest::newRow("text in integer") << u"insert into paper (PapID, PapScr) values (1, 'abc')"_s
                                     << QStringList{u"PapScr"_s, u"整数"_s, banktest::engineName()};
    QTest::newRow("beyond 32 bits")
        << u"insert into paper (PapID) values (2147483648)"_s << QStringList{u"PapID"_s, u"范围"_s};
    QTest::newRow("null identifier")
        << u"insert into question (PapIdx) values (1)"_s << QStringList{u"QstID"_s, u"不能为空"_s};
    QTest::newRow("flag not boolean")
        << u"insert into choice (ChcID, QstIdx, IsTrue) values (1, 1, 2)"_s
        << QStringList{u"IsTrue"_s, u"True"_s, u"False"_s};
    QTest::newRow("account differing in case")
        << u"insert into users (acount) values ('ADMIN')"_s << QStringList{u"帐号"_s};
    QTest::newRow("unique identifier") << u"insert into choice (ChcID, QstIdx) values (1, 1); "_s
                                          u"insert into choice (ChcID, QstIdx) values (1, 2)"_s
                                       << QStringList{u"ChcID"_s, u"重复"_s};
}

void TestTableCursor::statementsRefuseWhatColumnsCannotHold() {
    QFETCH(QString, sql);
    QFETCH(QStringList, messageParts);
    try {
        m_conn.execute(sql);
        QFAIL("the statement ran");
    } catch (const EngineError& e) {
        for (const QString& part : messageParts)
            QVERIFY2(e.message().contains(part), qPrintable(e.message()));
    }
}

void TestTableCursor::notificationOrder_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("open") << u"open"_s
                          << QStringList{u"view:state"_s, u"view:rows"_s, u"AfterOpen"_s,
                                         u"AfterScroll"_s, u"view:data"_s};
    QTest::newRow("close") << u"close"_s
                           << QStringList{u"BeforeClose"_s, u"view:state"_s, u"view:rows"_s};
    QTest::newRow("next") << u"next"_s << QStringList{u"AfterScroll"_s, u"view:data"_s};
    QTest::newRow("next on last") << u"next on last"_s << QStringList{};
    QTest::newRow("locate") << u"locate"_s << QStringList{u"AfterScroll"_s, u"view:data"_s};
    QTest::newRow("insert") << u"insert"_s
                            << QStringList{u"BeforeInsert"_s, u"view:inserted 3"_s, u"view:state"_s,
                                           u"AfterInsert"_s,  u"AfterScroll"_s,     u"view:data"_s};
    QTest::newRow("edit and set") << u"edit and set"_s
                                  << QStringList{u"view:state"_s, u"view:data"_s};
    QTest::newRow("post") << u"post"_s
                          << QStringList{u"view:update"_s, u"view:state"_s, u"view:data"_s,
                                         u"AfterPost"_s};
    // A view's typed text goes into the record before a move posts it.
    QTest::newRow("next while editing")
        << u"next while editing"_s
        << QStringList{u"view:update"_s, u"view:state"_s,  u"view:data"_s,
                       u"AfterPost"_s,   u"AfterScroll"_s, u"view:data"_s};
    QTest::newRow("cancel insert")
        << u"cancel insert"_s
        << QStringList{u"view:removing 3"_s, u"view:removed 3"_s, u"view:state"_s, u"AfterScroll"_s,
                       u"view:data"_s};
    QTest::newRow("remove") << u"remove"_s << QStringList{u"view:removing 0"_s, u"view:removed 0"_s,
                                                          u"view:state"_s,      u"AfterDelete"_s,
                                                          u"AfterScroll"_s,     u"view:data"_s};
    QTest::newRow("new filter") << u"new filter"_s
                                << QStringList{u"view:rows"_s, u"AfterScroll"_s, u"view:data"_s};
    QTest::newRow("same filter") << u"same filter"_s << QStringList{};
    // The same records read again: views keep their place.
    QTest::newRow("refresh, same rows")
        << u"refresh"_s << QStringList{u"view:changed"_s, u"view:data"_s};
}

void TestTableCursor::notificationOrder() {
    QFETCH(QString, operation);
    QFETCH(QStringList, expected);
    addPapers({1, 2, 3});
    TableCursor paper(m_conn, u"paper"_s);
    Recorder rec;
    rec.attach(paper);
    if (operation != u"open"_s)
        paper.open();
    // Bring the cursor to where the operation starts, then listen.
    if (operation == u"next on last"_s)
        paper.last();
    if (operation == u"post"_s || operation == u"next while editing"_s) {
        paper.edit();
        paper.setString(u"PapNam"_s, u"x"_s);
    }
    if (operation == u"cancel insert"_s)
        paper.insert();
    rec.log.clear();

    if (operation == u"open"_s)
        paper.open();
    else if (operation == u"close"_s)
        paper.close();
    else if (operation == u"next"_s || operation == u"next on last"_s ||
             operation == u"next while editing"_s)
        paper.next();
    else if (operation == u"locate"_s)
        paper.locate(u"PapID"_s, u"3"_s);
    else if (operation == u"insert"_s)
        paper.insert();
    else if (operation == u"edit and set"_s) {
        paper.edit();
        paper.setString(u"PapNam"_s, u"x"_s);
    } else if (operation == u"post"_s)
        paper.post();
    else if (operation == u"cancel insert"_s)
        paper.cancel();
    else if (operation == u"remove"_s)
        paper.remove();
    else if (operation == u"new filter"_s)
        paper.setFilter(u"PapID > 1"_s);
    else if (operation == u"same filter"_s)
        paper.setFilter(QString());
    else if (operation == u"refresh"_s)
        paper.refresh();
    else
        QFAIL("unknown operation");
    QCOMPARE(rec.log, expected);
}

void TestTableCursor::suspendAndResumeViews() {
    addPapers({1, 2, 3});
    TableCursor paper(m_conn, u"paper"_s);
    Recorder rec;
    rec.attach(paper);
    // As a window does around re-reading its cursor; the recorder's own
    // handlers, added first, log the events before these run.
    paper.addHandler(CursorEvent::BeforeClose, [&] { paper.suspendViews(); });
    paper.addHandler(CursorEvent::AfterOpen, [&] { paper.resumeViews(); });
    paper.open();
    rec.log.clear();
    paper.close();
    QVERIFY(paper.viewsSuspended());
    paper.open();
    QVERIFY(!paper.viewsSuspended());
    QCOMPARE(rec.log, (QStringList{u"BeforeClose"_s, u"AfterOpen"_s, u"view:rows"_s, u"view:data"_s,
                                   u"AfterScroll"_s, u"view:data"_s}));

    // Nested suspensions: views hear again only after the last resume; handlers always.
    rec.log.clear();
    paper.suspendViews();
    paper.suspendViews();
    paper.next();
    paper.resumeViews();
    paper.next();
    QCOMPARE(rec.log, (QStringList{u"AfterScroll"_s, u"AfterScroll"_s}));
    paper.resumeViews();
    QCOMPARE(rec.log,
             (QStringList{u"AfterScroll"_s, u"AfterScroll"_s, u"view:rows"_s, u"view:data"_s}));
    paper.resumeViews(); // one too many does nothing
    QVERIFY(!paper.viewsSuspended());

    // A view whose link has gone hears nothing.
    TableCursor other(m_conn, u"paper"_s);
    int heard = 0;
    ViewLink link = other.addView([&](ViewChange, int) { ++heard; });
    other.open();
    QVERIFY(heard > 0);
    heard = 0;
    link.reset();
    other.next();
    QCOMPARE(heard, 0);
}

// A record that depends on the current one (a choice on its question) is
// saved before the current one is left; when that fails, nothing moves.
void TestTableCursor::beforeLeaveStopsTheOperation() {
    addPapers({1, 2});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    int asked = 0;
    bool refuse = true;
    paper.addHandler(CursorEvent::BeforeLeave, [&] {
        ++asked;
        if (refuse)
            throw EngineError(u"refused"_s);
    });
    const std::function<void()> operations[] = {[&] { paper.next(); },
                                                [&] { paper.moveTo(1); },
                                                [&] { paper.locate(u"PapID"_s, u"2"_s); },
                                                [&] { paper.insert(); },
                                                [&] { paper.remove(); },
                                                [&] { paper.refresh(); },
                                                [&] { paper.setFilter(u"PapID > 1"_s); },
                                                [&] { paper.close(); }};
    for (const auto& operation : operations) {
        QVERIFY_THROWS_EXCEPTION(EngineError, operation());
        QVERIFY(paper.isOpen());
        QCOMPARE(paper.recNo(), 0);
        QCOMPARE(paper.recordCount(), 2);
        QCOMPARE(paper.state(), CursorState::Browse);
    }
    QCOMPARE(asked, int(std::size(operations)));
    refuse = false;
    paper.next();
    QCOMPARE(paper.recNo(), 1);
}

void TestTableCursor::viewsAndCursorDieInEitherOrder() {
    addPapers({1});
    // The cursor first: the view is told and its link ends quietly later.
    ViewLink outliving;
    QStringList told;
    {
        TableCursor paper(m_conn, u"paper"_s);
        outliving = paper.addView([&](ViewChange change, int) {
            if (change == ViewChange::Detached)
                told << u"detached"_s;
        });
        QVERIFY(outliving.isLinked());
    }
    QCOMPARE(told, QStringList{u"detached"_s});
    QVERIFY(!outliving.isLinked());
    outliving.reset();

    // The view first: the cursor goes on without it.
    TableCursor paper(m_conn, u"paper"_s);
    int heard = 0;
    {
        ViewLink shortLived = paper.addView([&](ViewChange, int) { ++heard; });
        ViewLink moved = std::move(shortLived);
        QVERIFY(!shortLived.isLinked());
        QVERIFY(moved.isLinked());
    }
    paper.open();
    QCOMPARE(heard, 0);
}

void TestTableCursor::handlersFillNewRecord() {
    // As the main window does: the counters are read and orphans trimmed before
    // the record exists, and the new record is filled right after.
    addPapers({1, 2});
    addRecord(m_conn, u"question"_s, {u"QstID"_s, u"PapIdx"_s}, {4, 99});
    TableCursor paper(m_conn, u"paper"_s);
    Query maxId(m_conn);
    Command trim(m_conn);
    int next = 0;
    paper.addHandler(CursorEvent::BeforeInsert, [&] {
        maxId.close();
        maxId.clearSql();
        maxId.addLine(u"select max(PapID) as maxID from paper"_s);
        maxId.open();
        next = maxId.asInteger(u"maxID"_s) + 1;
        trim.setText(u"delete from question where (select count(*) from paper where papid = "_s
                     u"question.papidx)=0"_s);
        trim.execute();
        maxId.close();
    });
    paper.addHandler(CursorEvent::AfterInsert, [&] {
        paper.setInteger(u"PapID"_s, next);
        paper.setString(u"PapNam"_s, u"新试卷"_s);
    });
    // A second owner of the event (the grids after the bank) runs too, after
    // the first, and sees the record the first one filled.
    QString seenBySecond;
    paper.addHandler(CursorEvent::AfterInsert, [&] { seenBySecond = paper.asString(u"PapNam"_s); });
    paper.open();
    paper.insert();
    paper.post();
    QCOMPARE(seenBySecond, u"新试卷"_s);
    QCOMPARE(paper.asInteger(u"PapID"_s), 3);
    QCOMPARE(paper.recNo(), 2);
    QCOMPARE(count(m_conn, u"question"_s), 0);

    // A handler that starts editing after every move (as the choice grid does).
    TableCursor again(m_conn, u"paper"_s);
    again.addHandler(CursorEvent::AfterScroll, [&] { again.edit(); });
    again.open();
    QCOMPARE(again.state(), CursorState::Edit);
    again.next();
    QCOMPARE(again.state(), CursorState::Edit);
    QCOMPARE(again.asInteger(u"PapID"_s), 2);
    again.setString(u"PapNam"_s, u"b"_s);
    again.next();
    QCOMPARE(again.textAt(1, u"PapNam"_s), QStringLiteral("b"));
    QCOMPARE(again.asInteger(u"PapID"_s), 3);
}

void TestTableCursor::identifierClashBetweenTwoPrograms() {
    addPapers({1});
    Connection other;
    openConnection(other, m_bank);
    TableCursor mine(m_conn, u"paper"_s);
    TableCursor theirs(other, u"paper"_s);
    mine.open();
    theirs.open();
    // Both computed 2 as the next identifier.
    theirs.insert();
    theirs.setInteger(u"PapID"_s, 2);
    theirs.setString(u"PapNam"_s, u"他们的"_s);
    theirs.post();
    mine.insert();
    mine.setInteger(u"PapID"_s, 2);
    mine.setString(u"PapNam"_s, u"我的"_s);
    mine.post();
    QCOMPARE(mine.asInteger(u"PapID"_s), 3);
    QCOMPARE(mine.asString(u"PapNam"_s), QStringLiteral("我的"));
    QCOMPARE(theirs.asInteger(u"PapID"_s), 2);

    Query q(m_conn);
    q.setSql(u"select PapID, PapNam from paper order by PapID"_s);
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next())
        rows << q.asString(u"PapID"_s) + u":"_s + q.asString(u"PapNam"_s);
    QCOMPARE(rows, (QStringList{u"1:卷1"_s, u"2:他们的"_s, u"3:我的"_s}));

    // Changing an existing record to a taken identifier is still refused.
    mine.edit();
    mine.setInteger(u"PapID"_s, 1);
    QVERIFY_THROWS_EXCEPTION(EngineError, mine.post());
    mine.cancel();
    QCOMPARE(mine.asInteger(u"PapID"_s), 3);
}

// The statements a cursor keeps for its posts hold no lock between them: a
// second program writes at once.
void TestTableCursor::postsLeaveTheBankFreeForOthers() {
    Connection other;
    openConnection(other, m_bank);
    other.setBusyTimeout(0);
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    for (int id = 1; id <= 3; ++id) {
        paper.insert();
        paper.setInteger(u"PapID"_s, id);
        paper.post();
        other.execute(u"update paper set PapNam = 'x' where PapID = %1"_s.arg(id));
    }
    paper.edit();
    paper.setString(u"PapNam"_s, u"改"_s);
    paper.post();
    other.execute(u"insert into paper (PapID) values (10)"_s);
    QCOMPARE(count(other, u"paper where PapNam = 'x'"_s), 2);
    QCOMPARE(count(other, u"paper"_s), 4);
}

// A bank closed and opened again under an open cursor gets its next records.
void TestTableCursor::postsGoToTheBankOpenNow() {
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    paper.insert();
    paper.setInteger(u"PapID"_s, 1);
    paper.post();
    m_conn.close();
    const QString moved = m_dir.filePath(u"moved.mdb"_s);
    QFile::remove(moved);
    // A server's database is dropped and made again under the same name instead.
    if (!banktest::onServer())
        QVERIFY(QFile::rename(m_bank, moved));
    banktest::freshBank(m_bank);
    openConnection(m_conn, m_bank);
    paper.insert();
    paper.setInteger(u"PapID"_s, 2);
    paper.setString(u"PapNam"_s, u"新"_s);
    paper.post();
    QCOMPARE(paper.asString(u"PapNam"_s), u"新"_s);
    QCOMPARE(count(m_conn, u"paper"_s), 1);
    QCOMPARE(count(m_conn, u"paper where PapID = 2"_s), 1);
}

void TestTableCursor::editOfRecordDeletedElsewhereFails() {
    addPapers({1});
    TableCursor paper(m_conn, u"paper"_s);
    paper.open();
    m_conn.execute(u"delete from paper"_s);
    paper.edit();
    paper.setString(u"PapNam"_s, u"x"_s);
    try {
        paper.post();
        QFAIL("an edit of a deleted record was reported as saved");
    } catch (const EngineError& e) {
        QVERIFY2(e.message().contains(u"删除"_s), qPrintable(e.message()));
    }
    QCOMPARE(paper.state(), CursorState::Edit);
    QCOMPARE(count(m_conn, u"paper"_s), 0);
}

void TestTableCursor::closedCursorRefusesFieldAccess() {
    TableCursor paper(m_conn, u"paper"_s);
    QVERIFY(!paper.isOpen());
    QCOMPARE(paper.recordCount(), 0);
    QVERIFY_THROWS_EXCEPTION(EngineError, paper.value(u"PapID"_s));
    QVERIFY_THROWS_EXCEPTION(EngineError, paper.insert());
    QVERIFY_THROWS_EXCEPTION(EngineError, paper.next());
    TableCursor missing(m_conn, u"nosuchtable"_s);
    QVERIFY_THROWS_EXCEPTION(EngineError, missing.open());
    Connection closed;
    TableCursor unopened(closed, u"paper"_s);
    QVERIFY_THROWS_EXCEPTION(EngineError, unopened.open());
}

QTEST_GUILESS_MAIN(TestTableCursor)
#include "tst_tablecursor.moc"
