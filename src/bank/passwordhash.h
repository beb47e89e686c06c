#pragma once

#include <QString>
#include <QStringList>

namespace tess {

class Connection;

// Account passwords kept as salted, slow hashes (Argon2id, libsodium), so that
// whoever can read the users table of a shared bank cannot read the passwords.
// A hash is one self-describing text in the usual form
//   $argon2id$v=19$m=<KiB>,t=<passes>,p=1$<salt, base64>$<hash, base64>
// which carries its own salt and work factor: raising the work factor later
// leaves the stored hashes checkable.

// A fresh hash of the password, with a random salt: two hashes of one
// password differ. The password is taken as UTF-8. Throws EngineError when
// the memory the hash needs cannot be had.
QString hashPassword(const QString& password);

// Whether the password is the one the stored hash was made from. A stored
// text that is not a hash of ours (empty, malformed, another scheme, or a
// work factor beyond what a sign-in may cost) never matches; the comparison
// takes the same time wherever the hashes differ.
bool passwordMatches(const QString& password, const QString& storedHash);
// Whether it matches any of them. Safe on a thread of its own.
bool passwordMatchesAny(const QString& password, const QStringList& storedHashes);

// Whether a stored text is a hash this program checks (so passwordMatches can
// say yes to some password) and made at today's work factor or higher; a hash that is
// checkable but weaker is worth replacing after the next sign-in.
bool isPasswordHash(const QString& storedHash);
bool passwordHashIsCurrent(const QString& storedHash);

// What the users table of a bank keeps for a password being set: a hash on a
// shared (server) bank, which every teacher with access could read; the
// password itself in a local file, whose columns stay as they are.
QString passwordToStore(const Connection& bank, const QString& password);

// After a sign-in with the right password: on a shared bank, an account whose
// password is still kept as typed (a new bank's Admin, one written by another
// program) or by a weaker hash gets today's hash of it. A row changed
// meanwhile is left as it is; a role that may not write the table signs in
// all the same. Engine errors are thrown.
void storeCurrentHash(Connection& bank, const QString& account, const QString& password);

} // namespace tess
