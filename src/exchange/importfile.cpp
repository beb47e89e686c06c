#include "exchange/importfile.h"

#include "bank/bankpictures.h"
#include "exchange/aiken.h"
#include "exchange/bankexchange.h"
#include "exchange/gift.h"
#include "exchange/htmlclean.h"
#include "exchange/importpictures.h"
#include "exchange/moodlexml.h"
#include "exchange/picturetags.h"
#include "store/engineerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>

namespace tess::exchange {

namespace {

// More lines than this about pictures would bury the rest of the messages.
constexpr int kMostWarnings = 100;

// A picture's src as a message names it: a long one cut short.
QString shownSource(const QString& src) {
    return src.size() > 80 ? src.left(77) + QStringLiteral("...") : src;
}

// The picture's name where src refers to a file that should have come with
// the text ("@@PLUGINFILE@@/a%20b.png" -> "a b.png"); a Moodle XML file
// carries such files itself, and a reference left as it is names one it did
// not carry. Empty for any other src.
QString missingFileName(const QString& src) {
    static const QString marker = QStringLiteral("@@PLUGINFILE@@/");
    QString path = src.trimmed();
    if (path.size() > 1 && (path.front() == u'"' || path.front() == u'\'') &&
        path.back() == path.front())
        path = path.sliced(1, path.size() - 2);
    if (!path.startsWith(marker))
        return QString();
    path = QUrl::fromPercentEncoding(path.sliced(marker.size()).toUtf8());
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// What the teacher is told of a picture that will not show from the pictures
// folder; empty for one that will.
QString notShown(const PictureReference& ref, const QString& where, const QString& folder,
                 bool held) {
    switch (ref.source) {
    case PictureSource::Folder:
        if (held)
            return QString();
        return QStringLiteral("%1: 图片 images\\%2 不在图片文件夹 %3 中, 试卷里看不到它; "
                              "请把这幅图片放进这个文件夹, 或用 \"插入图片文件\" 重新插入.")
            .arg(where, ref.name, folder);
    case PictureSource::Remote:
        return QStringLiteral("%1: 图片 %2 在网上, 没有导入; 学生的电脑要能上网才能在试卷里看到它.")
            .arg(where, shownSource(ref.src));
    case PictureSource::Elsewhere:
        if (const QString name = missingFileName(ref.src); !name.isEmpty())
            return QStringLiteral("%1: 图片 \"%2\" 不在导入的文件里 (文字引用了 %3, 文件却没有"
                                  "带着这幅图片), 试卷里看不到它; 请在导出这个文件的程序里连同"
                                  "图片一起导出, 或导入后用 \"插入图片文件\" 插入这幅图片.")
                .arg(where, shownSource(name), shownSource(ref.src));
        return QStringLiteral(
                   "%1: 图片 \"%2\" 不在图片文件夹中, 没有导入 (本程序不读取别处的文件), "
                   "试卷里看不到它; 请用 \"插入图片文件\" 插入这幅图片.")
            .arg(where, shownSource(ref.src));
    case PictureSource::Embedded:
        break; // the picture is inside the text and shows as it is
    }
    return QString();
}

// Every text in the program's picture form; what will not show is told once
// per question and picture.
void programPictures(Imported& imported, const ImportPictures& pictures) {
    QSet<QString> told;
    QHash<QString, bool> held; // a file may name the same picture many times
    int untold = 0;
    const QString folder = QDir::toNativeSeparators(pictures.folder());
    for (Paper& paper : imported.papers) {
        for (Question& q : paper.questions) {
            QVector<PictureReference> found;
            q.html = programPictureTags(q.html, &found);
            for (Choice& c : q.choices)
                c.html = programPictureTags(c.html, &found);
            const QString where =
                q.name.isEmpty() ? QStringLiteral("第 %1 行的题目").arg(q.line)
                                 : QStringLiteral("第 %1 行的题目 \"%2\"").arg(q.line).arg(q.name);
            for (const PictureReference& ref : std::as_const(found)) {
                auto it = held.find(ref.name);
                if (ref.source == PictureSource::Folder && it == held.end())
                    it = held.insert(ref.name, pictures.holds(ref.name));
                const QString line =
                    notShown(ref, where, folder, ref.source == PictureSource::Folder && *it);
                if (line.isEmpty() || told.contains(line))
                    continue;
                told.insert(line);
                if (imported.warnings.size() < kMostWarnings)
                    imported.warnings << line;
                else
                    ++untold;
            }
        }
    }
    if (untold > 0)
        imported.warnings << QStringLiteral("另有 %1 处图片的问题没有列出.").arg(untold);
}

// The texts as the students' page may show them; the teacher is told for
// each paper how much was taken out. Names are plain text everywhere.
void cleanTexts(Imported& imported) {
    for (Paper& paper : imported.papers) {
        int removed = 0;
        const auto clean = [&removed](QString& text, CleanedText (*cleaner)(const QString&)) {
            const CleanedText cleaned = cleaner(text);
            removed += cleaned.removed;
            if (cleaned.text != text)
                text = cleaned.text.trimmed();
        };
        const QString name = paper.name;
        clean(paper.category, plainText);
        clean(paper.name, plainText);
        if (paper.name.isEmpty()) // nothing but markup: a name it cannot take
            paper.name = QString(name).replace(u'<', QChar(0xFF1C)).trimmed();
        for (Question& q : paper.questions) {
            clean(q.html, cleanHtml);
            for (Choice& c : q.choices)
                clean(c.html, cleanHtml);
        }
        if (removed > 0)
            imported.warnings << QStringLiteral(
                                     "试卷 \"%1\": 为安全起见删除了 %2 处脚本或不安全的内容.")
                                     .arg(paper.name)
                                     .arg(removed);
    }
}

// Whether a line is "ANSWER: X" (a capital letter; blanks around): Aiken is
// known by its answer lines, as its questions may hold braces ({1,2}) too.
// Looked for in the bytes, whose encoding does not matter here, without
// making a text of the whole file.
bool hasAnswerLine(QByteArrayView bytes) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    for (qsizetype at = bytes.indexOf("ANSWER:"); at >= 0; at = bytes.indexOf("ANSWER:", at + 1)) {
        qsizetype begin = at;
        while (begin > 0 && blank(bytes[begin - 1]))
            --begin;
        if (begin > 0 && bytes[begin - 1] != '\n')
            continue;
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView letter = bytes.sliced(at + 7, end - at - 7).trimmed();
        if (letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'Z')
            return true;
    }
    return false;
}

} // namespace

QString importFileFilter() {
    return QStringLiteral(
        "Moodle XML, GIFT 或 Aiken 题目文件(*.xml *.gift *.txt)|*.xml;*.gift;*.txt");
}

Imported readQuestionFile(const QString& path, ImportPictures& pictures) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(QStringLiteral("无法读取文件 %1: %2").arg(path, file.errorString()));
    // Read to the limit, not trusting the size a pipe or device reports.
    const QByteArray bytes = file.read(kMoodleXmlMaxBytes + 1);
    if (bytes.size() > kMoodleXmlMaxBytes)
        throw ExchangeError(QStringLiteral("文件 %1 超过 100 MB, 不是题目文件.").arg(path));
    const QString suffix = QFileInfo(path).suffix().toLower();
    Imported imported;
    if (suffix == QLatin1String("xml") ||
        (suffix != QLatin1String("gift") && suffix != QLatin1String("txt") &&
         QByteArrayView(bytes).trimmed().startsWith('<')))
        imported = readMoodleXml(bytes, pictures);
    else if (suffix != QLatin1String("gift") && hasAnswerLine(bytes))
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
    cleanTexts(imported);
    programPictures(imported, pictures);
    return imported;
}

Imported readQuestionFile(const QString& path, const QString& picturesFolder) {
    ImportPictures pictures(picturesFolder);
    Imported imported = readQuestionFile(path, pictures);
    imported.warnings += pictures.moveIn();
    return imported;
}

namespace {

// A server bank keeps the pictures the imported papers show, for the other
// machines; the papers are in whatever happens here.
QStringList keepImportedPictures(Connection& connection, const QVector<Paper>& papers,
                                 const QString& picturesFolder) {
    QStringList names;
    for (const Paper& paper : papers)
        for (const Question& question : paper.questions) {
            names += picturesNamedIn(question.html);
            for (const Choice& choice : question.choices)
                names += picturesNamedIn(choice.html);
        }
    // A picture the folder lacks has been reported already.
    const QDir folder(picturesFolder);
    names.removeIf([&](const QString& name) { return !QFileInfo::exists(folder.filePath(name)); });
    try {
        return keepPicturesInBank(connection, names, picturesFolder);
    } catch (const EngineError& e) {
        return {QStringLiteral("导入的图片没有存进试题库, 别的电脑上生成的试卷将缺少它们: ") +
                e.message()};
    }
}

} // namespace

Imported importQuestionFile(Connection& connection, const QString& path,
                            const QString& picturesFolder, const QString& outputFile,
                            QVector<int>* paperIds) {
    finishInterruptedImports(connection, picturesFolder);
    // A new picture never takes a name that a text of the bank already shows,
    // or that a server bank keeps for another picture.
    ImportPictures pictures(picturesFolder, [&connection] {
        return picturesNamedInBank(connection) + picturesKeptInBank(connection);
    });
    Imported imported = readQuestionFile(path, pictures);
    // Refused by the bank, the import's pictures go with `pictures`.
    const QVector<int> ids = addPapers(connection, imported.papers, outputFile);
    importProbe(ImportStage::Committed);
    imported.warnings += pictures.moveIn();
    imported.warnings += keepImportedPictures(connection, imported.papers, picturesFolder);
    if (paperIds)
        *paperIds = ids;
    return imported;
}

} // namespace tess::exchange
