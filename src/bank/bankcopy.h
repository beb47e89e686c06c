#pragma once

#include <QString>
#include <functional>

namespace tess {

// Copies a whole paper bank, from a file to a server or back (or file to file):
// papers, questions, choices, accounts and the record of published pages, with
// their identifiers unchanged, in one transaction: all of it or nothing.
// The target is a bank that holds no paper, question or choice yet, or a file
// or an empty server database that is made into one; anything else is refused.
// Accounts copied to a server keep their passwords as hashes; copied back to a
// file they keep the hashes, which the login checks.
// progress(done, total) is told the rows copied as the copy goes.
// Throws EngineError with a message in Chinese; a target file made for the
// copy is removed again when it fails.
struct BankCopy {
    qint64 rows = 0; // rows copied
};
BankCopy copyBank(const QString& from, const QString& to,
                  const std::function<void(qint64 done, qint64 total)>& progress = {});

} // namespace tess
