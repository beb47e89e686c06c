#pragma once

#include "store/engineerror.h"

#include <QString>

struct sqlite3;

namespace tess {

// Turns SQLite's failure on db (result code rc) into the engine's error: a
// Chinese sentence saying what went wrong and what to do, then `where` (the
// file or the statement concerned), then SQLite's own text.
EngineError sqliteError(sqlite3* db, int rc, const QString& where = QString());

// The same for a failure SQLite reported before a handle existed.
EngineError sqliteError(int rc, const QString& sqliteText, const QString& where);

// A statement shortened to fit into one message line.
QString statementForMessage(const QString& sql);

// "[文件: path]", naming the bank a message is about.
QString fileWhere(const QString& path);

} // namespace tess
