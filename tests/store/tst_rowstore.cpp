// The packed rows of a table cursor: every value comes back as the engine's
// reading gives it, through changes, removals and the taking back of room.
#include "store/rowstore.h"
#include "store/statement.h"

#include <QDate>
#include <QTest>
#include <sqlite3.h>

using tess::ColumnKind;
using tess::RowStore;

namespace {

// An in-memory database for statements that make their own values.
class MemoryDb {
public:
    MemoryDb() { sqlite3_open(":memory:", &m_db); }
    ~MemoryDb() { sqlite3_close(m_db); }
    MemoryDb(const MemoryDb&) = delete;
    MemoryDb& operator=(const MemoryDb&) = delete;
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

QString describe(const QVariant& v) {
    return QString::fromLatin1(v.metaType().name() ? v.metaType().name() : "invalid") +
           QLatin1Char(':') + v.toString();
}

} // namespace

class TestRowStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readAsTheEngineReads_data();
    void readAsTheEngineReads();
    void valuesComeBackAsSet();
    void changesAndRemovalsKeepTheOthers();
    void sortsByIdentifier();
    void blocksGrowPastTheHeap();
};

// Each value of a statement's row, read into the store, is what columnValue
// reads from the same row.
void TestRowStore::readAsTheEngineReads_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("kind");
    const std::pair<const char*, ColumnKind> kinds[] = {{"integer", ColumnKind::Integer},
                                                        {"boolean", ColumnKind::Boolean},
                                                        {"text", ColumnKind::Text},
                                                        {"other", ColumnKind::Other}};
    const char* values[] = {"null",
                            "0",
                            "-2147483648",
                            "2147483647",
                            "2147483648",
                            "-9223372036854775808",
                            "2.5",
                            "''",
                            "'True'",
                            "'十二'",
                            "x'e4b8ad'",
                            "zeroblob(0)",
                            "printf('%.300c', '长')"};
    for (const auto& [name, kind] : kinds)
        for (const char* value : values)
            QTest::addRow("%s %s", name, value) << QString::fromUtf8(value) << int(kind);
}

void TestRowStore::readAsTheEngineReads() {
    QFETCH(QString, value);
    QFETCH(int, kind);
    MemoryDb db;
    const QByteArray sql = QStringLiteral("select 7, %1").arg(value).toUtf8();
    RowStore store;
    {
        tess::Statement stmt(db.get(), sql, 0, QString());
        store.appendRows(stmt, {ColumnKind(kind)});
    }
    QCOMPARE(store.size(), 1);
    QCOMPARE(store.rowid(0), 7);
    tess::Statement stmt(db.get(), sql, 0, QString());
    QVERIFY(stmt.step());
    const QVariant expected = tess::columnValue(stmt.get(), 1, ColumnKind(kind));
    QCOMPARE(describe(store.value(0, 0)), describe(expected));
    tess::PackedArray<char> utf8;
    const bool text = store.appendUtf8(0, 0, utf8);
    QCOMPARE(text, expected.typeId() == QMetaType::QString);
    if (text)
        QCOMPARE(QString::fromUtf8(utf8.data(), utf8.size()), expected.toString());
}

void TestRowStore::valuesComeBackAsSet() {
    const QVector<QVariant> values{QVariant(),
                                   QVariant(-5),
                                   QVariant(qlonglong(1) << 40),
                                   QVariant(0.25),
                                   QVariant(QString()),
                                   QVariant(QStringLiteral("试卷'一'")),
                                   QVariant(QString(200, QLatin1Char('x'))),
                                   QVariant(true),
                                   QVariant(false),
                                   QVariant(QDate(2024, 9, 1))};
    RowStore store;
    store.append(3, values);
    QCOMPARE(store.rowid(0), 3);
    const QVector<QVariant> back = store.values(0);
    QCOMPARE(back.size(), values.size());
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(describe(back[i]), describe(values[i]));
}

// Rows written again many times: the room left behind is taken back, and
// every other row keeps its values and its place.
void TestRowStore::changesAndRemovalsKeepTheOthers() {
    RowStore store;
    auto row = [](int i, int version) {
        return QVector<QVariant>{i, QStringLiteral("第%1套 版本%2").arg(i).arg(version),
                                 QVariant(QString(100, QChar(u'题')))};
    };
    for (int i = 0; i < 300; ++i)
        store.append(i + 1, row(i, 0));
    for (int version = 1; version <= 20; ++version)
        for (int i = version % 3; i < store.size(); i += 3)
            store.setValues(i, row(store.value(i, 0).toInt(), version));
    for (int i = store.size() - 1; i >= 0; i -= 7)
        store.removeAt(i);
    QCOMPARE(store.size(), 300 - 43);
    for (int i = 0; i < store.size(); ++i) {
        const int id = store.value(i, 0).toInt();
        QCOMPARE(store.rowid(i), qint64(id + 1));
        const int version = id % 3 == 0 ? 18 : id % 3 == 1 ? 19 : 20;
        QCOMPARE(store.value(i, 1).toString(),
                 QStringLiteral("第%1套 版本%2").arg(id).arg(version));
        QCOMPARE(store.value(i, 2).toString(), QString(100, QChar(u'题')));
    }
    store.clear();
    QVERIFY(store.isEmpty());
}

void TestRowStore::sortsByIdentifier() {
    RowStore store;
    const std::pair<qint64, int> rows[] = {{1, 5}, {2, 3}, {3, 5}, {4, -1}, {5, 3}};
    for (const auto& [rowid, id] : rows)
        store.append(rowid, {QStringLiteral("x"), id});
    QVERIFY(store.allInt32(1));
    QVERIFY(!store.allInt32(0));
    store.sortByInt32(1);
    QList<qint64> order;
    for (int i = 0; i < store.size(); ++i)
        order << store.rowid(i);
    // Equal identifiers keep the order of their rowids.
    QCOMPARE(order, (QList<qint64>{4, 2, 5, 1, 3}));
    QCOMPARE(store.int32(0, 1), -1);
    store.append(6, {QStringLiteral("y"), QVariant(qlonglong(1) << 33)});
    QVERIFY(!store.allInt32(1));
}

// A block filled far past what the heap gives it keeps every value in its
// place, as do its copies, whatever is removed from it.
void TestRowStore::blocksGrowPastTheHeap() {
    tess::PackedArray<int> values;
    const int count = 3 << 20; // 12 MB, grown a value at a time
    for (int i = 0; i < count; ++i)
        values.append(i * 7);
    QCOMPARE(values.size(), count);
    tess::PackedArray<int> copy = values;
    values.remove(10, 1000);
    QCOMPARE(values.size(), count - 1000);
    QCOMPARE(values[9], 63);
    QCOMPARE(values[10], 1010 * 7);
    QCOMPARE(values[count - 1001], (count - 1) * 7);
    bool same = true;
    for (int i = 0; i < count && same; ++i)
        same = copy[i] == i * 7;
    QVERIFY(same);
    tess::PackedArray<int> moved = std::move(copy);
    QCOMPARE(moved.size(), count);
    QVERIFY(copy.isEmpty());
    moved.reset();
    QVERIFY(moved.isEmpty());
    moved.append(5);
    QCOMPARE(moved[0], 5);

    tess::PackedArray<char> bytes;
    const QByteArray part(300000, 'x');
    for (int i = 0; i < 20; ++i)
        bytes.append(part.constData(), part.size());
    QCOMPARE(bytes.size(), 20 * part.size());
    QCOMPARE(QByteArray(bytes.data() + 5999990, 10), QByteArray(10, 'x'));
}

QTEST_GUILESS_MAIN(TestRowStore)
#include "tst_rowstore.moc"
