#pragma once

#include <QString>

namespace tess {

class Command;
class Connection;
class Query;

// How much of the bank the orphan trim must look at, by what the bank's own
// triggers have recorded since the last trim.
enum class TrimScope {
    None,      // nothing can have lost its owner: the trim would delete nothing
    Suspects,  // only the records of recorded owners
    Whole,     // the whole bank once (its state is not known, e.g. just upgraded)
    Unwatched, // the bank has no watch (a newer schema, or the upgrade failed): always whole
};

// Adds the watch to a bank that lacks it (a bank of the earlier schema, or
// one whose triggers were dropped), in one transaction, and records the bank's
// state as not known; adds what else of the schema additions a bank lacks (the
// record of published pages) too, a kept watch then staying as it is. Returns
// what stopped it, or an empty text; a bank that could not be upgraded stays
// exactly as it was. A bank of a newer schema than this program's is left alone.
QString addOrphanWatch(Connection& connection);

TrimScope trimScope(Connection& connection);

// What the next trim has to do, and how many owners the watch has recorded:
// each may have left many records, so a large number means a long trim
// (counted only where the scope is Suspects).
struct TrimState {
    TrimScope scope = TrimScope::None;
    qint64 owners = 0;
};
TrimState trimState(Connection& connection);

// On a server, the columns "watched", "scope" and "owners" that give the trim
// state, for a statement that reads it with other values in one request;
// serverTrimState() reads them from that statement's row.
QString serverTrimStateColumns(const Connection& connection);
TrimState serverTrimState(const Query& row);

// The orphan trim: choices whose question does not exist, then questions
// whose paper does not exist, each removed by the same statement as always;
// restricted to the recorded owners where the watch allows it, so that the
// bank comes out as if the whole tables had been read. One transaction.
void trimOrphans(Command& trim);
// The same, where `seen` was read just before without the write lock: a clean
// bank is left without taking it.
void trimOrphans(Command& trim, TrimScope seen);

} // namespace tess
