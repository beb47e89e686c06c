#pragma once

#include <QtGlobal>
#include <functional>

namespace tess {

class Connection;

// The texts the search looks in (table text_plain): each question's and each
// choice's text as a reader sees it, with a trigram index over them where
// the engine has one. The bank's triggers note every text that changes;
// only this program reads them anew, as taking the tags out needs its code.

// A choice's text is kept under its identifier plus this; a question's under its own.
constexpr qint64 kChoiceTextBase = 4294967296LL;

enum class TextIndexState {
    Missing, // the bank has no such tables (a newer schema, or the upgrade failed)
    Unbuilt, // the texts have not been read yet
    Ready,   // up to date but for the texts noted as changed
};
TextIndexState textIndexState(const Connection& connection);

// Reads every text of the bank anew, in one transaction. progress(done, total)
// is called between steps; when it returns false the work stops and the bank
// is left as it was. Returns whether it was done.
using TextIndexProgress = std::function<bool(qint64 done, qint64 total)>;
bool buildTextIndex(Connection& connection, const TextIndexProgress& progress = {});

// Whether texts were noted as changed since they were last read.
bool textsChanged(const Connection& connection);

// Reads the texts noted as changed since, in one transaction; nothing to do
// costs one statement. Only for a bank whose texts are Ready. When more were
// noted than a search should wait for (a program filled the bank), the bank
// is marked Unbuilt instead, for a build that shows its progress, and false
// is returned.
bool refreshTextIndex(Connection& connection);

// More changed texts than this are read by a build, not before a search.
constexpr qint64 kMostTextsRefreshed = 100000;

} // namespace tess
