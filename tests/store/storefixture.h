#pragma once

#include "bankhelpers.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/schema.h"
#include "store/tablecursor.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

// Small helpers for tests on a fresh bank made from the real schema.
namespace storetest {

using banktest::count;
using banktest::openConnection;

// Inserts one record through a cursor: values in the order of `columns`
// (a null QVariant leaves the column to its default).
inline void addRecord(tess::Connection& conn, const QString& table, const QStringList& columns,
                      const QVariantList& values) {
    tess::TableCursor cursor(conn, table);
    cursor.open();
    cursor.insert();
    for (int i = 0; i < columns.size(); ++i)
        if (!values.value(i).isNull())
            cursor.setValue(columns[i], values.value(i));
    cursor.post();
}

// The identifiers the cursor shows, in its order.
inline QList<int> ids(tess::TableCursor& cursor, const QString& column) {
    QList<int> result;
    for (int row = 0; row < cursor.recordCount(); ++row)
        result << cursor.valueAt(row, column).toInt();
    return result;
}

} // namespace storetest
