#include "bank/bankpictures.h"

#include "store/connection.h"
#include "store/engineerror.h"
#include "store/statement.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace tess {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString hashOf(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The picture file's bytes, or why they cannot be had; larger ones than the
// bank takes are not read at all.
QString readPicture(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取: ") + file.errorString();
    if (file.size() > kLargestBankPicture)
        return QStringLiteral("图片大于 %1 MB, 试题库不保存这么大的图片")
            .arg(kLargestBankPicture >> 20);
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("无法读取: ") + file.errorString();
    return QString();
}

// The same for the picture name of the pictures folder: a regular file of
// the folder only, never a link out of it or a FIFO.
QString readFolderFile(const QString& folder, const QString& name, QByteArray& bytes) {
    switch (readFolderPicture(folder, name, bytes)) {
    case FileRead::Read:
        return QString();
    case FileRead::Missing:
        return QStringLiteral("文件不存在");
    case FileRead::NotAFile:
        return QStringLiteral("不是普通的图片文件 (而是链接, 文件夹或设备), 不读取");
    case FileRead::TooLarge:
        return QStringLiteral("图片大于 %1 MB, 试题库不保存这么大的图片")
            .arg(kLargestBankPicture >> 20);
    case FileRead::Unreadable:
        break;
    }
    return QStringLiteral("无法读取");
}

// The hashes the bank keeps for names, by name: a statement for each thousand
// names, well within what one statement may carry.
QHash<QString, QString> keptHashes(const Connection& bank, const QStringList& names) {
    constexpr qsizetype kPerStatement = 1000;
    QHash<QString, QString> hashes;
    for (qsizetype from = 0; from < names.size(); from += kPerStatement) {
        const QStringList part = names.mid(from, kPerStatement);
        QStringList marks;
        for (qsizetype i = 0; i < part.size(); ++i)
            marks << QStringLiteral("?");
        Statement stmt(bank,
                       QStringLiteral("select name, hash from picture where name in (%1)")
                           .arg(marks.join(u',')),
                       QStringLiteral("[表 picture]"));
        for (qsizetype i = 0; i < part.size(); ++i)
            stmt.bind(int(i + 1), part.at(i));
        while (stmt.step())
            hashes.insert(stmt.text(0), stmt.text(1));
    }
    return hashes;
}

// Whether the bank keeps the picture of name as these bytes, or has no picture of that name.
bool bankTakes(const Connection& bank, const QString& name, const QString& hash) {
    const QString kept = keptHashes(bank, {name}).value(name);
    return kept.isEmpty() || kept == hash;
}

QStringList unique(const QStringList& names) {
    QStringList once = names;
    once.removeDuplicates();
    return once;
}

} // namespace

QSet<QString> picturesNamedInBank(const Connection& bank) {
    Statement stmt(
        bank,
        QStringLiteral("select QstCon from question where instr(QstCon, ?1) > 0 "
                       "union all select ChcCon from choice where instr(ChcCon, ?1) > 0"),
        QStringLiteral("[表 question, choice]"));
    stmt.bind(1, pictureTagStart());
    QSet<QString> names;
    while (stmt.step())
        for (const QString& name : picturesNamedIn(stmt.text(0)))
            names.insert(name);
    return names;
}

QSet<QString> picturesKeptInBank(const Connection& bank) {
    QSet<QString> names;
    if (!bank.isServer())
        return names;
    Statement stmt(bank, QStringLiteral("select name from picture"),
                   QStringLiteral("[表 picture]"));
    while (stmt.step())
        names.insert(stmt.text(0));
    return names;
}

QStringList paperPictureNames(const Connection& bank, int papId) {
    Statement stmt(bank,
                   QStringLiteral("select QstCon from question where PapIdx = ?1 and "
                                  "instr(QstCon, ?2) > 0 union all select c.ChcCon from choice "
                                  "c join question q on q.QstID = c.QstIdx where q.PapIdx = ?1 "
                                  "and instr(c.ChcCon, ?2) > 0"),
                   QStringLiteral("[表 question, choice]"));
    stmt.bind(1, papId);
    stmt.bind(2, pictureTagStart());
    QStringList names;
    while (stmt.step())
        names += picturesNamedIn(stmt.text(0));
    return unique(names);
}

PictureCopy placePicture(Connection& bank, const QString& chosenPath,
                         const QString& picturesFolder) {
    if (!bank.isServer())
        return copyIntoPicturesFolder(chosenPath, picturesFolder);
    QByteArray bytes;
    QString notKept = readPicture(chosenPath, bytes);
    const QString hash = hashOf(bytes);
    PictureCopy copy;
    try {
        // A name under which the bank keeps another picture would show that
        // one on every other machine.
        copy = copyIntoPicturesFolder(chosenPath, picturesFolder, [&](const QString& name) {
            return !notKept.isEmpty() || bankTakes(bank, name, hash);
        });
        if (copy.failure.isEmpty() && notKept.isEmpty()) {
            copy.failure = keepPicturesInBank(bank, {copy.name}, picturesFolder).join(u' ');
            return copy;
        }
    } catch (const EngineError& e) {
        // The bank cannot be asked now: the picture still goes into the folder.
        notKept = e.message();
        copy = copyIntoPicturesFolder(chosenPath, picturesFolder);
    }
    if (copy.failure.isEmpty() && !notKept.isEmpty())
        copy.failure = QStringLiteral("图片 \"%1\" 已放进本机的图片文件夹, 但没有存进试题库: %2. "
                                      "别的电脑上生成的试卷将缺少这幅图片; 请解决后重新插入.")
                           .arg(copy.name, notKept);
    return copy;
}

QStringList keepPicturesInBank(Connection& bank, const QStringList& names, const QString& folder) {
    QStringList lines;
    if (!bank.isServer())
        return lines;
    const QStringList wanted = unique(names);
    const QHash<QString, QString> kept = keptHashes(bank, wanted);
    const auto keptOther = [&](const QString& name) {
        lines << QStringLiteral("试题库里已经有另一幅名为 %1 的图片, 本机图片文件夹 %2 中的这幅"
                                "没有存进去; 别的电脑上显示的是试题库里的那幅.")
                     .arg(name, native(folder));
    };
    Statement insert(bank,
                     QStringLiteral("insert into picture (name, hash, content) values (?, ?, "
                                    "decode(?, 'base64')) on conflict (name) do nothing"),
                     QStringLiteral("[表 picture]"));
    for (const QString& name : wanted) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo(path).isFile()) {
            if (!kept.contains(name))
                lines << QStringLiteral("图片 %1 不在图片文件夹 %2 中, 也不在试题库里, "
                                        "试卷里看不到它.")
                             .arg(name, native(folder));
            continue;
        }
        QByteArray bytes;
        const QString unreadable = readFolderFile(folder, name, bytes);
        if (!unreadable.isEmpty()) {
            lines << QStringLiteral("图片 %1 没有存进试题库: %2.").arg(name, unreadable);
            continue;
        }
        const QString hash = hashOf(bytes);
        if (kept.contains(name)) {
            if (kept.value(name) != hash)
                keptOther(name);
            continue;
        }
        insert.reset();
        insert.bind(1, name);
        insert.bind(2, hash);
        insert.bind(3, QString::fromLatin1(bytes.toBase64()));
        insert.run();
        // Another program kept a picture of that name meanwhile.
        if (insert.changes() == 0 && !bankTakes(bank, name, hash))
            keptOther(name);
    }
    return lines;
}

QStringList fetchPicturesFromBank(const Connection& bank, const QStringList& names,
                                  const QString& folder) {
    QStringList lines;
    if (!bank.isServer() || names.isEmpty())
        return lines;
    const QStringList wanted = unique(names);
    const QHash<QString, QString> kept = keptHashes(bank, wanted);
    const QDir dir(folder);
    Statement read(bank,
                   QStringLiteral("select case when octet_length(content) <= ?2 then "
                                  "translate(encode(content, 'base64'), E'\\n', '') end, "
                                  "octet_length(content) from picture where name = ?1"),
                   QStringLiteral("[表 picture]"));
    for (const QString& name : wanted) {
        if (!kept.contains(name))
            continue;
        const QString target = dir.filePath(name);
        if (QFileInfo::exists(target)) {
            QByteArray bytes;
            if (readFolderFile(folder, name, bytes).isEmpty() && hashOf(bytes) != kept.value(name))
                lines << QStringLiteral(
                             "本机图片文件夹 %1 中的 %2 与试题库里的同名图片不同, "
                             "用的是本机的. 如要用试题库里的, 请把本机的这个文件移走后再试.")
                             .arg(native(folder), name);
            continue;
        }
        const auto fail = [&](const QString& why) {
            lines << QStringLiteral("没能从试题库取出图片 %1 放进图片文件夹 %2: %3. "
                                    "试卷里将缺少这幅图片.")
                         .arg(name, native(folder), why);
        };
        read.reset();
        read.bind(1, name);
        read.bind(2, kLargestBankPicture);
        if (!read.step())
            continue;
        if (read.int64(1) > kLargestBankPicture) {
            fail(QStringLiteral("图片大于 %1 MB").arg(kLargestBankPicture >> 20));
            continue;
        }
        const QByteArray bytes = QByteArray::fromBase64(read.text(0).toLatin1());
        if (hashOf(bytes) != kept.value(name)) {
            fail(QStringLiteral("试题库里的图片已经损坏"));
            continue;
        }
        if (!dir.exists() && !QDir().mkpath(folder)) {
            fail(QStringLiteral("无法建立这个文件夹"));
            continue;
        }
        const QString error = writePictureFile(target, bytes);
        if (!error.isEmpty())
            fail(error);
    }
    return lines;
}

QStringList fetchPaperPictures(const Connection& bank, int papId, const QString& folder) {
    if (!bank.isServer())
        return {};
    return fetchPicturesFromBank(bank, paperPictureNames(bank, papId), folder);
}

} // namespace tess
