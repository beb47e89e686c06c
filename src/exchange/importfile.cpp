#include "exchange/importfile.h"

#include "exchange/aiken.h"
#include "exchange/gift.h"
#include "exchange/moodlexml.h"

#include <QFile>
#include <QFileInfo>

namespace tess::exchange {

QString importFileFilter() {
    return QStringLiteral(
        "Moodle XML, GIFT 或 Aiken 题目文件(*.xml *.gift *.txt)|*.xml;*.gift;*.txt");
}

Imported readQuestionFile(const QString& path, const QString& picturesFolder) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(QStringLiteral("无法读取文件 %1: %2").arg(path, file.errorString()));
    if (file.size() > kMoodleXmlMaxBytes)
        throw ExchangeError(QStringLiteral("文件 %1 超过 100 MB, 不是题目文件.").arg(path));
    const QByteArray bytes = file.readAll();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xml") || bytes.trimmed().startsWith('<'))
        return readMoodleXml(bytes, picturesFolder);
    if (suffix == QLatin1String("gift") || bytes.contains('{'))
        return readGift(bytes, path);
    return readAiken(bytes, path);
}

} // namespace tess::exchange
