#include "store/tablecursor.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/rowstore.h"
#include "store/sqliteerror.h"
#include "store/statement.h"

#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <utility>

namespace tess {

namespace {

using Kind = ColumnKind;

struct Column {
    QString name;
    Kind kind = Kind::Other;
    QVariant defaultValue;
};

QString quoted(const QString& name) {
    QString text = name;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// A name in a statement on the connection's engine: the server folds the
// program's unquoted names to lower case, so quoted ones must be lower case too.
QString quotedFor(const Connection& connection, const QString& name) {
    return quoted(connection.isServer() ? name.toLower() : name);
}

// Messages name the table the user is working on; the engine's own statement
// would tell a teacher nothing.
QString tableWhere(const QString& table) {
    return QStringLiteral("[表 ") + table + QLatin1Char(']');
}

QString trueFalse(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

// A column default as SQLite reports it ("0", "'text'", "NULL").
QVariant parseDefault(const QString& text, Kind kind) {
    if (text.isEmpty() || text.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return QVariant();
    if (text.startsWith(QLatin1Char('\'')) && text.endsWith(QLatin1Char('\'')) && text.size() >= 2)
        return text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok) {
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return kind == Kind::Boolean ? QVariant(true) : QVariant(1);
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return kind == Kind::Boolean ? QVariant(false) : QVariant(0);
        return QVariant();
    }
    if (kind == Kind::Boolean)
        return QVariant(n != 0);
    if (kind == Kind::Text)
        return QString::number(n);
    return QVariant(int(n));
}

struct Filter {
    bool any = true;
    QString column;
    QString op;
    QVariant value;
};

// "Column op value": numbers bare, texts in single quotes with inner quotes doubled.
Filter parseFilter(const QString& text) {
    Filter filter;
    if (text.trimmed().isEmpty())
        return filter;
    static const QRegularExpression re(
        QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*(<>|<=|>=|=|<|>)\\s*(.*?)\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    auto malformed = [&text]() {
        return EngineError(QStringLiteral("无法识别筛选条件 \"%1\": 它应当是 列名 运算符 值, "
                                          "运算符为 =, < 或 <>, 文本值用单引号括起来.")
                               .arg(text));
    };
    if (!m.hasMatch())
        throw malformed();
    filter.any = false;
    filter.column = m.captured(1);
    filter.op = m.captured(2);
    const QString value = m.captured(3);
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) &&
        value.endsWith(QLatin1Char('\''))) {
        const QString inner = value.mid(1, value.size() - 2);
        // Every quote inside must be doubled.
        QString unquoted;
        for (qsizetype i = 0; i < inner.size(); ++i) {
            if (inner[i] == QLatin1Char('\'')) {
                if (i + 1 >= inner.size() || inner[i + 1] != QLatin1Char('\''))
                    throw malformed();
                ++i;
            }
            unquoted += inner[i];
        }
        filter.value = unquoted;
        return filter;
    }
    static const QRegularExpression integer(QStringLiteral("^[+-]?\\d+$"));
    static const QRegularExpression real(QStringLiteral("^[+-]?\\d*\\.\\d+$"));
    if (integer.match(value).hasMatch()) {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        if (!ok)
            throw malformed();
        filter.value = n;
    } else if (real.match(value).hasMatch()) {
        filter.value = value.toDouble();
    } else if (value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        filter.value = 1;
    } else if (value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        filter.value = 0;
    } else {
        throw malformed();
    }
    return filter;
}

} // namespace

namespace {

// The rows sql reads (its columns rowid and then `columns`), in the order of
// the columns (names as the engine takes them) in `order`. On a server the
// data version comes with them, in the same request, into *version.
RowStore readTable(const Connection& connection, const QString& table, const QString& sql,
                   const QStringList& order, const Filter& filter, const QVector<Column>& columns,
                   qint64* version) {
    QString text = sql;
    if (connection.isServer()) {
        // The one row of the version, joined by the rows if there are any.
        text = QStringLiteral("select v.version, t.* from (select %1 as version) v left join "
                              "(%2) t on 1 = 1")
                   .arg(Connection::serverDataVersion(), sql);
        if (!order.isEmpty())
            text += QStringLiteral(" order by t.") + order.join(QStringLiteral(", t."));
    } else if (!order.isEmpty()) {
        text += QStringLiteral(" order by ") + order.join(QStringLiteral(", "));
    }
    Statement stmt(connection, text, tableWhere(table));
    if (!filter.any)
        stmt.bind(1, filter.value);
    QVector<ColumnKind> kinds;
    for (const Column& c : columns)
        kinds << c.kind;
    RowStore rows;
    rows.appendRows(stmt, kinds, connection.isServer() ? version : nullptr);
    return rows;
}

} // namespace

struct TableCursor::Impl {
    QVector<Column> columns;
    RowStore rows; // as stored; a new record's row holds its defaults until it is posted
    // The current record's values while it is being edited or inserted.
    QVector<QVariant> buffer;
    QVector<bool> changed; // columns set since edit() or insert()
    int rowBeforeInsert = -1;
    // The first rows, as read, are in order of their integer identifiers:
    // a record is found there without a search through all of them.
    int sortedRows = 0;
    // The statements that store a new record and read a record back, prepared
    // once for the columns as read and the connection's handle: adding
    // thousands of records (an import) would otherwise spend most of its time
    // preparing them again.
    std::unique_ptr<Statement> insertRow;
    std::unique_ptr<Statement> selectRow;
    const void* preparedOn = nullptr;
};

namespace {

// A statement of the cursor's own, reset when the work with it is done, so
// that a read left part-way holds no lock on the bank.
class Reused {
public:
    Reused(std::unique_ptr<Statement>& slot, const Connection& connection,
           const std::function<QString()>& sql, const QString& where) {
        connection.ensureOpen();
        if (!slot)
            slot = std::make_unique<Statement>(connection, sql(), where);
        m_stmt = slot.get();
    }
    ~Reused() { m_stmt->reset(); }
    Reused(const Reused&) = delete;
    Reused& operator=(const Reused&) = delete;
    Statement& operator*() const { return *m_stmt; }
    Statement* operator->() const { return m_stmt; }

private:
    Statement* m_stmt;
};

QString identityFor(const QString& table) {
    const QString t = table.toLower();
    if (t == QLatin1String("paper"))
        return QStringLiteral("PapID");
    if (t == QLatin1String("question"))
        return QStringLiteral("QstID");
    if (t == QLatin1String("choice"))
        return QStringLiteral("ChcID");
    return QString();
}

} // namespace

struct ViewLink::Views {
    std::map<int, ViewListener> listeners;
    int nextId = 1;
};

ViewLink::ViewLink(ViewLink&& other) noexcept
    : m_views(std::move(other.m_views)), m_id(std::exchange(other.m_id, 0)) {}

ViewLink& ViewLink::operator=(ViewLink&& other) noexcept {
    if (this != &other) {
        reset();
        m_views = std::move(other.m_views);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

void ViewLink::reset() {
    if (const std::shared_ptr<Views> views = m_views.lock())
        views->listeners.erase(m_id);
    m_views.reset();
    m_id = 0;
}

TableCursor::TableCursor(Connection& connection, const QString& table)
    : m_connection(connection), m_table(table), m_identity(identityFor(table)), m_impl(new Impl),
      m_views(std::make_shared<ViewLink::Views>()) {}

TableCursor::~TableCursor() {
    // Views still bound let go of this cursor, suspended or not.
    m_suspend = 0;
    notify(ViewChange::Detached);
    delete m_impl;
}

// ---- columns and values ---------------------------------------------------

namespace {

int findColumn(const QVector<Column>& columns, const QString& name) {
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The columns of a server table, as the file's table_info gives them; the
// hidden rowid is the engine's, not the program's.
QVector<Column> serverColumns(Connection& connection, const QString& table) {
    // From the catalog itself: the information schema's views cost several
    // milliseconds.
    Statement stmt(
        connection,
        QStringLiteral(
            "select a.attname, case when t.typname in ('int2', 'int4', 'int8') then 'INTEGER' "
            "when t.typname = 'bool' then 'boolean' when t.typname in ('text', 'citext', "
            "'varchar', 'bpchar') then 'TEXT' else upper(t.typname) end, "
            "pg_get_expr(d.adbin, d.adrelid) from pg_attribute a join pg_type t on t.oid = "
            "a.atttypid left join pg_attrdef d on d.adrelid = a.attrelid and d.adnum = a.attnum "
            "where a.attrelid = to_regclass(quote_ident(lower(?))) and a.attnum > 0 and not "
            "a.attisdropped and a.attname <> 'rowid' order by a.attnum"),
        tableWhere(table));
    stmt.bind(1, table);
    QVector<Column> loaded;
    while (stmt.step()) {
        Column column;
        column.name = Connection::canonicalColumn(table, stmt.text(0));
        const QString type = stmt.text(1);
        column.kind = columnKind(type, type == QLatin1String("boolean") ||
                                           connection.isBooleanColumn(table, column.name));
        // Defaults read "false", "0" or "'text'::citext".
        QString text = stmt.text(2);
        static const QRegularExpression cast(QStringLiteral("::[a-z ]+$"));
        text.remove(cast);
        column.defaultValue = parseDefault(text, column.kind);
        loaded << column;
    }
    return loaded;
}

void loadColumns(Connection& connection, const QString& table, QVector<Column>& columns) {
    connection.ensureOpen();
    QVector<Column> loaded;
    if (connection.isServer()) {
        const QString key = QStringLiteral("columns of ") + table.toLower();
        if (const std::any* known = connection.schemaFact(key)) {
            columns = std::any_cast<QVector<Column>>(*known);
            return;
        }
        loaded = serverColumns(connection, table);
        if (!loaded.isEmpty())
            connection.setSchemaFact(key, loaded);
    } else {
        Statement stmt(connection, QStringLiteral("pragma table_info(%1)").arg(quoted(table)),
                       tableWhere(table));
        while (stmt.step()) {
            Column column;
            column.name = stmt.text(1);
            column.kind = columnKind(stmt.text(2), connection.isBooleanColumn(table, column.name));
            column.defaultValue = parseDefault(stmt.text(4), column.kind);
            loaded << column;
        }
    }
    if (loaded.isEmpty())
        throw EngineError(QStringLiteral("试题库中没有表 %1.").arg(table));
    columns = loaded;
}

// What a column stores for a value set into it; throws for what it cannot hold.
QVariant toStorage(const QString& table, const Column& column, const QVariant& value) {
    if (value.isNull())
        return QVariant();
    // Named only when refused: a record is stored column by column, thousands in an import.
    const auto where = [&] { return QStringLiteral("表 %1 的列 %2").arg(table, column.name); };
    switch (column.kind) {
    case Kind::Integer: {
        qlonglong n = 0;
        bool ok = true;
        switch (value.typeId()) {
        case QMetaType::Bool:
            n = value.toBool() ? 1 : 0;
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::Short:
            n = value.toLongLong();
            break;
        case QMetaType::Double: {
            const double d = value.toDouble();
            ok = d == static_cast<double>(static_cast<qlonglong>(d)) && d > -1e18 && d < 1e18;
            n = static_cast<qlonglong>(d);
            break;
        }
        default: {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant();
            n = text.toLongLong(&ok);
            if (!ok)
                throw EngineError(QStringLiteral("%1 只能存放整数, \"%2\" 不是整数.")
                                      .arg(where(), value.toString()));
        }
        }
        if (!ok)
            throw EngineError(
                QStringLiteral("%1 只能存放整数, \"%2\" 不是整数.").arg(where(), value.toString()));
        if (n < INT_MIN || n > INT_MAX)
            throw EngineError(
                QStringLiteral("%1 的值 %2 超出了整数的范围 (-2147483648 到 2147483647).")
                    .arg(where(), QString::number(n)));
        return QVariant(int(n));
    }
    case Kind::Boolean: {
        if (value.typeId() == QMetaType::Bool)
            return value.toBool();
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
            text == QLatin1String("1"))
            return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 ||
            text == QLatin1String("0"))
            return false;
        throw EngineError(QStringLiteral("%1 只能是 True 或 False, 不能是 \"%2\".")
                              .arg(where(), value.toString()));
    }
    case Kind::Text:
        if (value.typeId() == QMetaType::Bool)
            return trueFalse(value.toBool());
        return value.toString();
    case Kind::Other:
        break;
    }
    return value;
}

} // namespace

void TableCursor::ensureColumns() const {
    if (m_impl->columns.isEmpty())
        loadColumns(m_connection, m_table, m_impl->columns);
}

int TableCursor::column(const QString& name) const {
    ensureColumns();
    const int index = findColumn(m_impl->columns, name);
    if (index < 0)
        throw EngineError(QStringLiteral("表 %1 中没有列 %2.").arg(m_table, name));
    return index;
}

bool TableCursor::hasColumn(const QString& name) const {
    if (m_impl->columns.isEmpty() && !m_connection.isOpen())
        return false;
    ensureColumns();
    return findColumn(m_impl->columns, name) >= 0;
}

void TableCursor::ensureActive() const {
    if (!isOpen())
        throw EngineError(QStringLiteral("表 %1 的记录集没有打开.").arg(m_table));
}

QVariant TableCursor::rowValue(int row, int index) const {
    if (isEditing() && row == m_row)
        return m_impl->buffer[index];
    return m_impl->rows.value(row, index);
}

// ---- reading the rows -----------------------------------------------------

void TableCursor::readRows() {
    m_connection.ensureOpen();
    loadColumns(m_connection, m_table, m_impl->columns);
    forgetStatements();
    m_columns.clear();
    for (const Column& c : std::as_const(m_impl->columns))
        m_columns << c.name;

    const Filter filter = parseFilter(m_filter);
    QStringList names;
    for (const Column& c : std::as_const(m_impl->columns))
        names << quotedFor(m_connection, c.name);
    QString sql = QStringLiteral("select rowid, %1 from %2")
                      .arg(names.join(QStringLiteral(", ")), quotedFor(m_connection, m_table));
    if (!filter.any) {
        const int index = findColumn(m_impl->columns, filter.column);
        if (index < 0)
            throw EngineError(QStringLiteral("筛选条件 \"%1\" 中的列 %2 在表 %3 中不存在.")
                                  .arg(m_filter, filter.column, m_table));
        sql += QStringLiteral(" where %1 %2 ?")
                   .arg(quotedFor(m_connection, m_impl->columns[index].name), filter.op);
    }
    // A record added last has the largest identifier, so it comes last. The
    // rows are read in the table's own order (or through the filter column's
    // index) and put in identifier order here: walking the identifier index
    // would look up every row of a large table one by one.
    const int identity = m_identity.isEmpty() ? -1 : findColumn(m_impl->columns, m_identity);

    // A server gives the version with the rows; a file's is read first.
    qint64 version = m_connection.isServer() ? 0 : m_connection.dataVersion();
    // Read aside: a read that fails leaves the rows as they were.
    RowStore rows = readTable(m_connection, m_table, sql,
                              identity < 0 ? QStringList{QStringLiteral("rowid")} : QStringList(),
                              filter, m_impl->columns, &version);
    const bool integerIds = identity >= 0 && rows.allInt32(identity);
    if (identity >= 0 && !integerIds) {
        // Identifiers that are not all 32-bit integers (a bank another program
        // wrote): the engine's own order of mixed values.
        qint64 again = 0;
        rows = readTable(m_connection, m_table, sql,
                         {quotedFor(m_connection, m_identity), QStringLiteral("rowid")}, filter,
                         m_impl->columns, &again);
    } else if (identity >= 0) {
        rows.sortByInt32(identity);
    }
    m_impl->rows = std::move(rows);
    m_impl->sortedRows = integerIds ? m_impl->rows.size() : 0;
    m_readVersion = version;
}

bool TableCursor::rowsOutdated() const {
    return !isOpen() || m_connection.dataVersion() != m_readVersion;
}

void TableCursor::forgetStatements() {
    m_impl->insertRow.reset();
    m_impl->selectRow.reset();
    m_impl->preparedOn = m_connection.engineHandle();
}

QString TableCursor::returningRow() const {
    if (!m_connection.isServer())
        return QString();
    QStringList names{QStringLiteral("rowid")};
    for (const Column& c : std::as_const(m_impl->columns))
        names << quotedFor(m_connection, c.name);
    return QStringLiteral(" returning ") + names.join(QStringLiteral(", "));
}

void TableCursor::takeReturnedRow(const Statement& stmt, QVector<QVariant>& stored) const {
    if (!m_connection.isServer() || stmt.changes() == 0)
        return;
    stored.resize(m_impl->columns.size());
    for (int i = 0; i < m_impl->columns.size(); ++i)
        stored[i] = stmt.value(i + 1, m_impl->columns[i].kind);
}

void TableCursor::readBack(qint64 rowid, QVector<QVariant>& values) {
    if (m_impl->preparedOn != m_connection.engineHandle())
        forgetStatements();
    const Reused stmt(
        m_impl->selectRow, m_connection,
        [this] {
            QStringList names;
            for (const Column& c : std::as_const(m_impl->columns))
                names << quotedFor(m_connection, c.name);
            return QStringLiteral("select %1 from %2 where rowid = ?")
                .arg(names.join(QStringLiteral(", ")), quotedFor(m_connection, m_table));
        },
        tableWhere(m_table));
    stmt->bind(1, rowid);
    if (!stmt->step())
        return;
    for (int i = 0; i < m_impl->columns.size(); ++i)
        values[i] = stmt->value(i, m_impl->columns[i].kind);
}

// ---- filter, open, close ----------------------------------------------------

void TableCursor::setFilter(const QString& filter) {
    if (filter == m_filter)
        return;
    parseFilter(filter); // a malformed filter changes nothing
    if (!isOpen()) {
        m_filter = filter;
        return;
    }
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    const QString previous = m_filter;
    m_filter = filter;
    try {
        readRows();
    } catch (...) {
        m_filter = previous;
        throw;
    }
    m_row = m_impl->rows.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_impl->rows.isEmpty();
    notify(ViewChange::RowsReset);
    fire(CursorEvent::AfterScroll);
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::open() {
    if (isOpen())
        return;
    readRows();
    m_state = CursorState::Browse;
    m_modified = false;
    m_row = m_impl->rows.isEmpty() ? -1 : 0;
    m_bof = true;
    m_eof = m_impl->rows.isEmpty();
    notify(ViewChange::StateChange);
    notify(ViewChange::RowsReset);
    fire(CursorEvent::AfterOpen);
    if (!m_impl->rows.isEmpty())
        fire(CursorEvent::AfterScroll);
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::close() {
    if (!isOpen())
        return;
    fire(CursorEvent::BeforeLeave);
    fire(CursorEvent::BeforeClose);
    // Unposted changes go with the rows, as closing always discards them.
    m_impl->rows.clear();
    m_impl->buffer.clear();
    m_state = CursorState::Inactive;
    m_modified = false;
    m_row = -1;
    m_bof = true;
    m_eof = true;
    notify(ViewChange::StateChange);
    notify(ViewChange::RowsReset);
}

void TableCursor::refresh() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    const qint64 rowid = m_row >= 0 ? m_impl->rows.rowid(m_row) : 0;
    QVector<qint64> before;
    before.reserve(m_impl->rows.size());
    for (int i = 0; i < m_impl->rows.size(); ++i)
        before << m_impl->rows.rowid(i);
    readRows();
    bool sameRows = before.size() == m_impl->rows.size();
    for (int i = 0; sameRows && i < before.size(); ++i)
        sameRows = before[i] == m_impl->rows.rowid(i);
    int found = -1;
    for (int i = 0; i < m_impl->rows.size() && rowid != 0; ++i)
        if (m_impl->rows.rowid(i) == rowid) {
            found = i;
            break;
        }
    const bool moved = found < 0;
    m_row = found >= 0 ? found : (m_impl->rows.isEmpty() ? -1 : 0);
    m_bof = m_impl->rows.isEmpty() || (moved && m_row == 0);
    m_eof = m_impl->rows.isEmpty();
    // Views keep their place when the same records came back.
    notify(sameRows ? ViewChange::RowsChanged : ViewChange::RowsReset);
    if (moved && m_row >= 0)
        fire(CursorEvent::AfterScroll);
    notify(ViewChange::DataChange, m_row);
}

// ---- navigation ---------------------------------------------------------------

int TableCursor::recordCount() const {
    return isOpen() ? m_impl->rows.size() : 0;
}

void TableCursor::checkBrowseMode() {
    if (!isEditing())
        return;
    notify(ViewChange::UpdateRecord, m_row);
    if (!isEditing())
        return;
    if (m_modified)
        postRecord();
    else
        cancel();
}

void TableCursor::scrolled() {
    fire(CursorEvent::AfterScroll);
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::first() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    const bool empty = m_impl->rows.isEmpty();
    m_row = empty ? -1 : 0;
    m_bof = true;
    m_eof = empty;
    scrolled();
}

void TableCursor::last() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    const bool empty = m_impl->rows.isEmpty();
    m_row = empty ? -1 : m_impl->rows.size() - 1;
    m_eof = true;
    m_bof = empty;
    scrolled();
}

void TableCursor::next() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    if (m_row + 1 < m_impl->rows.size()) {
        ++m_row;
        m_bof = false;
        m_eof = false;
        scrolled();
    } else {
        m_eof = true;
    }
}

void TableCursor::prior() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    if (m_row > 0) {
        --m_row;
        m_bof = false;
        m_eof = false;
        scrolled();
    } else {
        m_bof = true;
    }
}

void TableCursor::moveTo(int row) {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    if (m_impl->rows.isEmpty())
        return;
    const int target = std::clamp(row, 0, m_impl->rows.size() - 1);
    m_bof = false;
    m_eof = false;
    if (target == m_row)
        return;
    m_row = target;
    scrolled();
}

bool TableCursor::locate(const QString& columnName, const QString& value) {
    ensureActive();
    const int index = column(columnName);
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    const Column& c = m_impl->columns[index];
    bool isNumber = false;
    const qlonglong number = value.trimmed().toLongLong(&isNumber);
    int from = 0;
    if (isNumber && c.kind == Kind::Integer && m_impl->sortedRows > 0 &&
        c.name.compare(m_identity, Qt::CaseInsensitive) == 0) {
        // The first row whose identifier is not below the number.
        int low = 0;
        for (int high = m_impl->sortedRows; low < high;) {
            const int middle = low + (high - low) / 2;
            if (m_impl->rows.int32(middle, index) < number)
                low = middle + 1;
            else
                high = middle;
        }
        if (low < m_impl->sortedRows && m_impl->rows.int32(low, index) == number) {
            m_row = low;
            m_bof = false;
            m_eof = false;
            scrolled();
            return true;
        }
        // Only the rows added since the read are left to look at.
        from = m_impl->sortedRows;
    }
    for (int i = from; i < m_impl->rows.size(); ++i) {
        const QVariant v = m_impl->rows.value(i, index);
        bool equal = false;
        if (c.kind == Kind::Integer && isNumber && !v.isNull())
            equal = v.toLongLong() == number;
        else
            equal = textValue(v).compare(value, Qt::CaseInsensitive) == 0 && !v.isNull();
        if (equal) {
            m_row = i;
            m_bof = false;
            m_eof = false;
            scrolled();
            return true;
        }
    }
    return false;
}

// ---- editing ------------------------------------------------------------------

void TableCursor::insert() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    checkBrowseMode();
    fire(CursorEvent::BeforeInsert);
    QVector<QVariant> defaults;
    defaults.reserve(m_impl->columns.size());
    for (const Column& c : std::as_const(m_impl->columns))
        defaults << c.defaultValue;
    m_impl->rowBeforeInsert = m_row;
    m_impl->rows.append(0, defaults); // rowid 0 until it is stored
    m_impl->buffer = defaults;
    m_impl->changed = QVector<bool>(m_impl->columns.size(), false);
    m_row = m_impl->rows.size() - 1;
    m_state = CursorState::Insert;
    m_modified = false;
    m_bof = false;
    m_eof = false;
    notify(ViewChange::RowInserted, m_row);
    notify(ViewChange::StateChange, m_row);
    fire(CursorEvent::AfterInsert);
    fire(CursorEvent::AfterScroll);
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::edit() {
    ensureActive();
    if (isEditing())
        return;
    if (m_row < 0 || m_impl->rows.isEmpty()) {
        insert();
        return;
    }
    m_impl->buffer = m_impl->rows.values(m_row);
    m_impl->changed = QVector<bool>(m_impl->columns.size(), false);
    m_state = CursorState::Edit;
    m_modified = false;
    notify(ViewChange::StateChange, m_row);
}

qint64 TableCursor::storeNew(const QVector<QVariant>& values, QVector<QVariant>& stored) {
    const QVector<Column>& columns = m_impl->columns;
    if (m_impl->preparedOn != m_connection.engineHandle())
        forgetStatements();
    auto sql = [this, &columns] {
        QStringList names;
        QStringList marks;
        for (const Column& c : columns) {
            names << quotedFor(m_connection, c.name);
            marks << QStringLiteral("?");
        }
        return QStringLiteral("insert into %1 (%2) values (%3)")
                   .arg(quotedFor(m_connection, m_table), names.join(QStringLiteral(", ")),
                        marks.join(QStringLiteral(", "))) +
               returningRow();
    };
    const int identity = m_identity.isEmpty() ? -1 : findColumn(columns, m_identity);
    QVector<QVariant> toStore = values;
    // Another program on the same bank may have taken the identifier this one
    // computed; the record then takes the next free one instead of being lost.
    for (int attempt = 0;; ++attempt) {
        const Reused stmt(m_impl->insertRow, m_connection, sql, tableWhere(m_table));
        for (int i = 0; i < toStore.size(); ++i)
            stmt->bind(i + 1, toStore[i]);
        // Inside a transaction a failed statement ends a server's whole
        // transaction: the insert gets a savepoint to fail back to.
        const bool guarded = m_connection.isServer() && m_connection.inTransaction();
        try {
            if (guarded)
                m_connection.execute(QStringLiteral("savepoint tess_insert"));
            stmt->step();
            const qint64 rowid = stmt->insertedRowid();
            takeReturnedRow(*stmt, stored);
            if (guarded)
                m_connection.execute(QStringLiteral("release savepoint tess_insert"));
            return rowid;
        } catch (const EngineError&) {
            if (guarded && stmt->failure() != 0)
                m_connection.execute(QStringLiteral(
                    "rollback to savepoint tess_insert; release savepoint tess_insert"));
            const bool clash = identity >= 0 && attempt < 10 &&
                               stmt->failedOnUnique(m_table, columns[identity].name);
            if (!clash)
                throw;
        }
        Statement max(m_connection,
                      QStringLiteral("select coalesce(max(%1), 0) + 1 from %2")
                          .arg(quotedFor(m_connection, columns[identity].name),
                               quotedFor(m_connection, m_table)),
                      tableWhere(m_table));
        max.step();
        const qlonglong next = max.int64(0);
        if (next > INT_MAX)
            throw EngineError(
                QStringLiteral("表 %1 的记录标识已经用完, 无法再添加记录.").arg(m_table));
        toStore[identity] = int(next);
    }
}

void TableCursor::post() {
    if (!isEditing())
        return;
    notify(ViewChange::UpdateRecord, m_row);
    postRecord();
}

void TableCursor::postRecord() {
    if (!isEditing())
        return;
    const QVector<Column>& columns = m_impl->columns;
    const QVector<QVariant>& edited = m_impl->buffer;
    QVector<QVariant> values;
    values.reserve(columns.size());
    for (int i = 0; i < columns.size(); ++i)
        values << toStorage(m_table, columns[i], edited[i]);

    qint64 rowid = m_impl->rows.rowid(m_row);
    // What the bank holds now, when the statement that stored it gave it back.
    QVector<QVariant> stored;
    if (m_state == CursorState::Insert) {
        rowid = storeNew(values, stored);
        m_impl->rows.setRowid(m_row, rowid);
    } else {
        QStringList sets;
        QVector<QVariant> binds;
        for (int i = 0; i < columns.size(); ++i)
            if (m_impl->changed.value(i)) {
                sets << quotedFor(m_connection, columns[i].name) + QStringLiteral(" = ?");
                binds << values[i];
            }
        if (!sets.isEmpty()) {
            Statement stmt(
                m_connection,
                QStringLiteral("update %1 set %2 where rowid = ?")
                        .arg(quotedFor(m_connection, m_table), sets.join(QStringLiteral(", "))) +
                    returningRow(),
                tableWhere(m_table));
            for (int i = 0; i < binds.size(); ++i)
                stmt.bind(i + 1, binds[i]);
            stmt.bind(int(binds.size()) + 1, rowid);
            stmt.step();
            if (stmt.changes() == 0)
                throw EngineError(
                    QStringLiteral("表 %1 的这条记录已经被另一个程序删除了, 修改没有保存. "
                                   "请重新打开试题库后再试.")
                        .arg(m_table));
            takeReturnedRow(stmt, stored);
        }
    }
    // An identifier changed here, or by another program as the row is read
    // back, ends the order the search counts on.
    const int identity = m_identity.isEmpty() ? -1 : findColumn(columns, m_identity);
    const QVariant before = identity >= 0 ? edited[identity] : QVariant();
    if (stored.isEmpty())
        readBack(rowid, values);
    else
        values = stored;
    m_impl->rows.setValues(m_row, values);
    if (identity >= 0 && m_row < m_impl->sortedRows &&
        (m_impl->changed.value(identity) || values[identity] != before))
        m_impl->sortedRows = 0;
    m_state = CursorState::Browse;
    m_impl->buffer.clear();
    m_modified = false;
    notify(ViewChange::StateChange, m_row);
    notify(ViewChange::DataChange, m_row);
    fire(CursorEvent::AfterPost);
}

void TableCursor::cancel() {
    if (!isEditing())
        return;
    m_modified = false;
    if (m_state == CursorState::Insert) {
        const int dropped = m_row;
        notify(ViewChange::RowRemoving, dropped);
        m_impl->rows.removeAt(dropped);
        if (dropped < m_impl->sortedRows)
            --m_impl->sortedRows;
        const int count = m_impl->rows.size();
        m_row = count == 0 ? -1 : std::clamp(m_impl->rowBeforeInsert, 0, count - 1);
        m_bof = count == 0;
        m_eof = count == 0;
        m_state = CursorState::Browse;
        m_impl->buffer.clear();
        notify(ViewChange::RowRemoved, dropped);
        notify(ViewChange::StateChange, m_row);
        scrolled();
        return;
    }
    m_state = CursorState::Browse;
    m_impl->buffer.clear();
    notify(ViewChange::StateChange, m_row);
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::remove() {
    ensureActive();
    fire(CursorEvent::BeforeLeave);
    if (m_state == CursorState::Insert) {
        cancel();
        return;
    }
    if (m_state == CursorState::Edit) {
        m_state = CursorState::Browse;
        m_impl->buffer.clear();
        m_modified = false;
    }
    if (m_row < 0 || m_impl->rows.isEmpty())
        throw EngineError(QStringLiteral("表 %1 中没有记录可以删除.").arg(m_table));
    Statement stmt(
        m_connection,
        QStringLiteral("delete from %1 where rowid = ?").arg(quotedFor(m_connection, m_table)),
        tableWhere(m_table));
    stmt.bind(1, m_impl->rows.rowid(m_row));
    stmt.step(); // a record another program deleted already is simply gone
    const int removed = m_row;
    notify(ViewChange::RowRemoving, removed);
    m_impl->rows.removeAt(removed);
    if (removed < m_impl->sortedRows)
        --m_impl->sortedRows;
    const int count = m_impl->rows.size();
    m_row = count == 0 ? -1 : std::min(removed, count - 1);
    m_bof = count == 0;
    m_eof = count == 0;
    notify(ViewChange::RowRemoved, removed);
    notify(ViewChange::StateChange, m_row);
    fire(CursorEvent::AfterDelete);
    scrolled();
}

// ---- fields -------------------------------------------------------------------

QVariant TableCursor::value(const QString& name) const {
    ensureActive();
    const int index = column(name);
    return m_row >= 0 && m_row < m_impl->rows.size() ? rowValue(m_row, index) : QVariant();
}

bool TableCursor::isNull(const QString& name) const {
    const QVariant v = value(name);
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty() &&
                          m_impl->columns[column(name)].kind != Kind::Text);
}

int TableCursor::asInteger(const QString& name) const {
    return integerValue(m_table, name, value(name));
}

QString TableCursor::asString(const QString& name) const {
    return textValue(value(name));
}

bool TableCursor::asBoolean(const QString& name) const {
    const QVariant v = value(name);
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return v.toLongLong() != 0;
}

void TableCursor::setValue(const QString& name, const QVariant& v) {
    ensureActive();
    const int index = column(name);
    if (!isEditing())
        throw EngineError(QStringLiteral("表 %1 不在编辑状态, 不能修改列 %2.")
                              .arg(m_table, m_impl->columns[index].name));
    m_impl->buffer[index] = v;
    m_impl->changed[index] = true;
    m_modified = true;
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::setInteger(const QString& name, int v) {
    setValue(name, QVariant(v));
}

void TableCursor::setString(const QString& name, const QString& text) {
    const Kind kind = m_impl->columns.value(column(name)).kind;
    const QString trimmed = text.trimmed();
    if ((kind == Kind::Integer && trimmed.isEmpty()) || (kind == Kind::Boolean && text.isEmpty()))
        setValue(name, QVariant());
    else if (kind == Kind::Boolean &&
             trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        setValue(name, QVariant(true));
    else if (kind == Kind::Boolean &&
             trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        setValue(name, QVariant(false));
    else
        setValue(name, text);
}

void TableCursor::setBoolean(const QString& name, bool v) {
    setValue(name, QVariant(v));
}

void TableCursor::setNull(const QString& name) {
    setValue(name, QVariant());
}

QVariant TableCursor::valueAt(int row, const QString& name) const {
    return valueAt(row, column(name));
}

QVariant TableCursor::valueAt(int row, int columnIndex) const {
    if (!isOpen() || row < 0 || row >= m_impl->rows.size() || columnIndex < 0 ||
        columnIndex >= m_impl->columns.size())
        return QVariant();
    return rowValue(row, columnIndex);
}

int TableCursor::columnIndex(const QString& name) const {
    return column(name);
}

QString TableCursor::textAt(int row, const QString& name) const {
    return textValue(valueAt(row, name));
}

QString TableCursor::textAt(int row, int columnIndex) const {
    return textValue(valueAt(row, columnIndex));
}

void TableCursor::appendUtf8At(int row, int columnIndex, PackedArray<char>& out) const {
    const bool stored = isOpen() && row >= 0 && row < m_impl->rows.size() && columnIndex >= 0 &&
                        columnIndex < m_impl->columns.size() && !(isEditing() && row == m_row);
    if (!stored || !m_impl->rows.appendUtf8(row, columnIndex, out)) {
        const QByteArray utf8 = textAt(row, columnIndex).toUtf8();
        out.append(utf8.constData(), utf8.size());
    }
}

// ---- notifications --------------------------------------------------------------

void TableCursor::addHandler(CursorEvent event, std::function<void()> handler) {
    if (handler)
        m_handlers[event].push_back(std::move(handler));
}

void TableCursor::fire(CursorEvent event) {
    const auto it = m_handlers.find(event);
    if (it == m_handlers.end())
        return;
    // A copy: a handler may add another.
    const std::vector<std::function<void()>> handlers = it->second;
    for (const std::function<void()>& handler : handlers)
        handler();
}

ViewLink TableCursor::addView(ViewListener listener) {
    const int id = m_views->nextId++;
    m_views->listeners[id] = std::move(listener);
    return ViewLink(m_views, id);
}

void TableCursor::suspendViews() {
    ++m_suspend;
}

void TableCursor::resumeViews() {
    if (m_suspend == 0)
        return;
    if (--m_suspend > 0)
        return;
    notify(ViewChange::RowsReset);
    notify(ViewChange::DataChange, m_row);
}

void TableCursor::notify(ViewChange change, int row) {
    if (m_suspend > 0)
        return;
    // A listener may add or remove views while it is told.
    const auto views = m_views->listeners;
    for (const auto& [id, listener] : views)
        if (m_views->listeners.count(id))
            listener(change, row);
}

} // namespace tess
