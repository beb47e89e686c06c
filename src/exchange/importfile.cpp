#include "exchange/importfile.h"

#include "exchange/aiken.h"
#include "exchange/bankexchange.h"
#include "exchange/gift.h"
#include "exchange/moodlexml.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace tess::exchange {

QString importFileFilter() {
    return QStringLiteral(
        "Moodle XML, GIFT 或 Aiken 题目文件(*.xml *.gift *.txt)|*.xml;*.gift;*.txt");
}

Imported readQuestionFile(const QString& path, const QString& picturesFolder) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(QStringLiteral("无法读取文件 %1: %2").arg(path, file.errorString()));
    // Read to the limit, not trusting the size a pipe or device reports.
    const QByteArray bytes = file.read(kMoodleXmlMaxBytes + 1);
    if (bytes.size() > kMoodleXmlMaxBytes)
        throw ExchangeError(QStringLiteral("文件 %1 超过 100 MB, 不是题目文件.").arg(path));
    const QString suffix = QFileInfo(path).suffix().toLower();
    Imported imported;
    // Aiken by its answer lines: its questions may hold braces ({1,2}) too.
    static const QRegularExpression answerLine(QStringLiteral("^\\s*ANSWER:\\s*[A-Z]\\s*$"),
                                               QRegularExpression::MultilineOption);
    if (suffix == QLatin1String("xml") ||
        (suffix != QLatin1String("gift") && suffix != QLatin1String("txt") &&
         bytes.trimmed().startsWith('<')))
        imported = readMoodleXml(bytes, picturesFolder);
    else if (suffix != QLatin1String("gift") &&
             answerLine.match(QString::fromLatin1(bytes)).hasMatch())
        imported = readAiken(bytes, path);
    else
        imported = readGift(bytes, path);
    if (imported.papers.isEmpty())
        throw ExchangeError(
            imported.skipped.isEmpty()
                ? QStringLiteral("文件 %1 中没有题目.").arg(path)
                : QStringLiteral(
                      "文件 %1 中没有本程序能保存的判断题、单选题或多选题 (%2 道其他题型的题).")
                      .arg(path)
                      .arg(imported.skipped.size()));
    return imported;
}

Imported importQuestionFile(Connection& connection, const QString& path,
                            const QString& picturesFolder, const QString& outputFile,
                            QVector<int>* paperIds) {
    // Pictures the file brings are written as it is read; an import the bank
    // then refuses takes them (and a folder made for them) away again.
    const QDir folder(picturesFolder);
    const bool folderExisted = folder.exists();
    const QStringList before = folder.entryList(QDir::Files | QDir::Hidden);
    const Imported imported = readQuestionFile(path, picturesFolder);
    try {
        const QVector<int> ids = addPapers(connection, imported.papers, outputFile);
        if (paperIds)
            *paperIds = ids;
    } catch (...) {
        const QStringList now = folder.entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : now)
            if (!before.contains(name))
                QFile::remove(folder.filePath(name));
        if (!folderExisted)
            QDir().rmdir(picturesFolder);
        throw;
    }
    return imported;
}

} // namespace tess::exchange
