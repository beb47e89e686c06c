#include "bank/passwordhash.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <sodium.h>

namespace tess {

namespace {

// OWASP's setting for Argon2id: 19 MiB and two passes, as hard to guess
// through as its PBKDF2 setting, and a few hundredths of a second at sign-in,
// where it shares the machine with the opening of the bank.
constexpr unsigned long long kPasses = 2;
constexpr size_t kMemoryBytes = size_t(19) << 20;

// A stored hash names its own cost, and the users table is writable by every
// teacher of a shared bank: what one check may cost is bounded, so that a
// planted text cannot make the sign-in take minutes or all the memory.
constexpr quint64 kMaxMemoryKiB = 256 * 1024;
constexpr quint64 kMaxWorkKiB = 4 * kMaxMemoryKiB; // memory times passes

void ensureSodium() {
    static const int started = sodium_init();
    if (started < 0)
        throw EngineError(QStringLiteral("密码加密库无法初始化, 不能处理帐号的密码."));
}

// The text as libsodium reads it: NUL-terminated, within its buffer size.
using HashText = std::array<char, crypto_pwhash_STRBYTES>;

// Checks the form and the cost of a stored text before libsodium reads it;
// the one variant and version this program writes, one lane.
struct Cost {
    quint64 memoryKiB = 0;
    quint64 passes = 0;
};

bool readable(const QString& stored, HashText& text, Cost* cost = nullptr) {
    // Anchored at the very end: "$" alone would let a trailing newline through.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("\\$argon2id\\$v=19\\$m=([1-9][0-9]{0,9}),t=([1-9][0-9]{0,9}),p=1"
                       "\\$([A-Za-z0-9+/]{11,86})\\$([A-Za-z0-9+/]{22,86})")));
    if (stored.size() >= int(text.size()))
        return false;
    const QRegularExpressionMatch match = form.match(stored);
    if (!match.hasMatch())
        return false;
    // Unpadded base64 never leaves a single character over.
    if (match.capturedLength(3) % 4 == 1 || match.capturedLength(4) % 4 == 1)
        return false;
    const quint64 memoryKiB = match.captured(1).toULongLong();
    const quint64 passes = match.captured(2).toULongLong();
    if (memoryKiB < 8 || memoryKiB > kMaxMemoryKiB || passes > kMaxWorkKiB / memoryKiB)
        return false;
    if (cost)
        *cost = {memoryKiB, passes};
    text.fill('\0');
    const QByteArray latin = stored.toLatin1();
    std::copy(latin.begin(), latin.end(), text.begin());
    return true;
}

} // namespace

QString hashPassword(const QString& password) {
    ensureSodium();
    QByteArray utf8 = password.toUtf8();
    HashText out{};
    const int made = crypto_pwhash_argon2id_str(out.data(), utf8.constData(),
                                                static_cast<unsigned long long>(utf8.size()),
                                                kPasses, kMemoryBytes);
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    if (made != 0)
        throw EngineError(QStringLiteral("内存不足, 不能加密帐号的密码. "
                                         "请关闭其他程序后再试."));
    return QString::fromLatin1(out.data());
}

bool passwordMatches(const QString& password, const QString& storedHash) {
    HashText text;
    if (!readable(storedHash, text))
        return false;
    ensureSodium();
    QByteArray utf8 = password.toUtf8();
    const bool same =
        crypto_pwhash_argon2id_str_verify(text.data(), utf8.constData(),
                                          static_cast<unsigned long long>(utf8.size())) == 0;
    sodium_memzero(utf8.data(), size_t(utf8.size()));
    return same;
}

bool passwordMatchesAny(const QString& password, const QStringList& storedHashes) {
    return std::any_of(
        storedHashes.begin(), storedHashes.end(),
        [&password](const QString& stored) { return passwordMatches(password, stored); });
}

bool isPasswordHash(const QString& storedHash) {
    HashText text;
    return readable(storedHash, text);
}

bool passwordHashIsCurrent(const QString& storedHash) {
    HashText text;
    Cost cost;
    // A hash made at a higher cost (by an earlier version, or another
    // program) is kept: replacing it would make it easier to guess.
    return readable(storedHash, text, &cost) && cost.memoryKiB >= kMemoryBytes / 1024 &&
           cost.passes >= kPasses;
}

QString passwordToStore(const Connection& bank, const QString& password) {
    return bank.isServer() ? hashPassword(password) : password;
}

void storeCurrentHash(Connection& bank, const QString& account, const QString& password) {
    if (!bank.isServer())
        return;
    QStringList outdated;
    {
        Statement read(bank, QStringLiteral("select password from users where acount = ?"),
                       QStringLiteral("[表 users]"));
        read.bind(1, account);
        while (read.step()) {
            const QString stored = read.text(0);
            if (isPasswordHash(stored)
                    ? !passwordHashIsCurrent(stored) && passwordMatches(password, stored)
                    : stored == password)
                outdated << stored;
        }
    }
    if (outdated.isEmpty())
        return;
    Statement update(bank,
                     QStringLiteral("update users set password = ? where acount = ? and "
                                    "password = ?"),
                     QStringLiteral("[表 users]"));
    for (const QString& stored : std::as_const(outdated)) {
        update.reset();
        update.bind(1, hashPassword(password));
        update.bind(2, account);
        update.bind(3, stored);
        update.run();
    }
}

} // namespace tess
