#pragma once

#include "store/engineerror.h"

#include <QString>

struct pg_conn;
struct pg_result;

namespace tess {

// Turns a PostgreSQL failure into the engine's error: a Chinese sentence
// saying what went wrong and what to do, then `where`, then the server's own
// text. result is the failed statement's result, or null when there is none
// (the connection's last message is used then).
EngineError serverError(pg_conn* conn, const pg_result* result, const QString& where);

// A connection to the server bank uri names, in UTF-8, its notices kept
// quiet. Throws EngineError saying in Chinese why there is none: the server
// not reached, the password refused, a server older than version 15.
pg_conn* connectToServer(const QString& uri, const char* applicationName);

// Counts one request sent to the server and waited for (see serverRoundTrips()).
void countServerRoundTrip();

// The error class (SQLSTATE) of a failed result, empty when there is none.
QString serverErrorState(const pg_result* result);

} // namespace tess
