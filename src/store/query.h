#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace tess {

class Connection;

// A text as it stands in a statement: in single quotes, each quote doubled.
QString sqlText(const QString& text);

// A statement that yields rows. All rows are read when it opens; columns are
// read by name ignoring letter case (aliases included). A null integer reads as 0.
class Query {
public:
    explicit Query(Connection& connection);
    Connection& connection() const { return m_connection; }

    // The statement text as lines, joined with CR LF when the query opens.
    void clearSql();
    void addLine(const QString& line);
    void setSql(const QString& text);
    QString sql() const;

    void open(); // throws EngineError
    void close();
    bool isOpen() const { return m_open; }

    int recordCount() const { return static_cast<int>(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    bool eof() const { return !m_open || m_pos >= m_rows.size(); }
    void first() { m_pos = 0; }
    void next();

    // Values of the current row. Throw EngineError for an unknown column or
    // when there is no current row.
    QVariant value(const QString& column) const;
    bool isNull(const QString& column) const;
    int asInteger(const QString& column) const;
    QString asString(const QString& column) const;

private:
    int columnIndex(const QString& column) const;

    Connection& m_connection;
    QStringList m_lines;
    bool m_open = false;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
    qsizetype m_pos = 0;
};

// A statement that yields nothing (the bulk deletions and the orphan trim).
class Command {
public:
    explicit Command(Connection& connection) : m_connection(connection) {}
    void setText(const QString& text) { m_text = text; }
    QString text() const { return m_text; }
    void execute(); // throws EngineError
    Connection& connection() const { return m_connection; }

private:
    Connection& m_connection;
    QString m_text;
};

} // namespace tess
