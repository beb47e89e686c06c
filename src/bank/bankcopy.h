#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace tess {

// Copies a whole paper bank, from a file to a server or back (or file to file):
// papers, questions, choices, accounts and the record of published pages, with
// their identifiers unchanged, in one transaction: all of it or nothing.
// The target is a bank that holds no paper, question or choice yet, or a file
// or an empty server database that is made into one; anything else is refused.
// Accounts copied to a server keep their passwords as hashes; copied back to a
// file they keep the hashes, which the login checks.
// Pictures: copied to a server, the pictures that the texts show are taken
// from the file's pictures folder `fromPictures` into the same transaction;
// copied from a server to a file, the pictures the server keeps are written
// into the file's pictures folder `toPictures` once the records are in.
// progress(done, total) is told the rows copied as the copy goes.
// Throws EngineError with a message in Chinese; a target file made for the
// copy is removed again when it fails.
struct BankCopy {
    qint64 rows = 0;      // rows copied
    qint64 pictures = 0;  // pictures the server bank keeps, when one side is a server
    QStringList warnings; // pictures that could not be taken or written, for the teacher
};
BankCopy copyBank(const QString& from, const QString& to,
                  const std::function<void(qint64 done, qint64 total)>& progress = {},
                  const QString& fromPictures = QString(), const QString& toPictures = QString());

} // namespace tess
