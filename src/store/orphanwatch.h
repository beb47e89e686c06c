#pragma once

#include <QString>

namespace tess {

class Command;
class Connection;

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

// How many owners the watch has recorded: each may have left many records,
// so a large number means a long trim.
qint64 recordedOwners(Connection& connection);

// The orphan trim: choices whose question does not exist, then questions
// whose paper does not exist, each removed by the same statement as always;
// restricted to the recorded owners where the watch allows it, so that the
// bank comes out as if the whole tables had been read. One transaction.
void trimOrphans(Command& trim);

} // namespace tess
