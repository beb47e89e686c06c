#include "exchange/moodlexml.h"

#include "bank/pictures.h"
#include "bank/plaintext.h"
#include "exchange/importpictures.h"
#include "exchange/picturetags.h"
#include "exchange/textfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <limits>

namespace tess::exchange {

namespace {

const QString kPluginFile = QStringLiteral("@@PLUGINFILE@@");
const QString kUnfiledPaper = QStringLiteral("导入的试题");
constexpr int kNameLength = 40;

// Moodle's own files nest five deep (quiz, question, answer, feedback, text),
// and a hand-made file that writes its HTML as elements rather than as escaped
// text adds a few dozen at most (tables in lists in tables). Deeper nesting
// only comes from crafted files; they are refused before reading them costs
// anything.
constexpr int kMaxDepth = 256;

// The XML parser compares each attribute of an element with every one before
// it, so that one element with a million attributes keeps it busy for hours.
// The format's elements have three at most; HTML written as elements a dozen.
constexpr int kMaxAttributes = 64;

// ---------------------------------------------------------------- writing

// Moodle refuses on import any fraction outside its fixed list of grades, so
// the correct choices' share of 100 is made from that list: 100/n where the
// list has it, tens and fives for 11 to 19 choices. More than 20 correct
// choices cannot add up to 100 from the list; they get 100/n, which Moodle
// takes only when the teacher lets it match the nearest grade.
QStringList shares(qsizetype count) {
    static const char* const exact[] = {"100",      "50",       "33.33333", "25",       "20",
                                        "16.66667", "14.28571", "12.5",     "11.11111", "10"};
    QStringList result;
    if (count <= 0)
        return result;
    if (count <= 10) {
        for (qsizetype i = 0; i < count; ++i)
            result << QString::fromLatin1(exact[count - 1]);
    } else if (count <= 20) {
        // (20 - n) tens and (2n - 20) fives: 10(20 - n) + 5(2n - 20) = 100.
        for (qsizetype i = 0; i < count; ++i)
            result << (i < 20 - count ? QStringLiteral("10") : QStringLiteral("5"));
    } else {
        for (qsizetype i = 0; i < count; ++i)
            result << QString::number(100.0 / double(count), 'f', 5);
    }
    return result;
}

// Characters XML 1.0 cannot carry at all, even in CDATA (stray control
// characters pasted from other programs): they are left out rather than making
// the whole file unreadable.
QString xmlSafe(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r')
            continue;
        if (u == 0xFFFE || u == 0xFFFF)
            continue;
        result.append(c);
    }
    return result;
}

struct Embedded {
    QString name;
    QByteArray bytes;
};

// The text with each picture of the folder referred to as @@PLUGINFILE@@/name,
// and the pictures to carry beside it (each once).
QString embedPictures(const QString& html, const QString& picturesFolder,
                      QVector<Embedded>& files) {
    // <IMG ... SRC="images\name">, either slash, any case, quoted or not.
    static const QRegularExpression tag(
        QStringLiteral(
            R"re((<img\b[^>]*?\bsrc\s*=\s*)(?:"images[\\/]([^"]*)"|'images[\\/]([^']*)'|images[\\/]([^\s>"']+)))re"),
        QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype done = 0;
    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString name;
        for (int group = 2; group <= 4; ++group) {
            if (m.hasCaptured(group))
                name = m.captured(group);
        }
        if (!plainPictureName(name))
            continue;
        bool known = false;
        for (const Embedded& e : files)
            known = known || e.name == name;
        if (!known) {
            // Only a regular file of the folder itself is carried: never one a
            // link points at, and a FIFO is not waited on.
            QByteArray bytes;
            qint64 size = 0;
            const FileRead read = readFolderPicture(picturesFolder, name, bytes, &size);
            if (read == FileRead::TooLarge)
                throw ExchangeError(
                    QStringLiteral("图片 %1 有 %2 MB, 大于导出时能带的 %3 MB (再导入时也读不了), "
                                   "没有导出. 请把这幅图片缩小 (例如降低分辨率, 或存成 JPEG) "
                                   "后再导出.")
                        .arg(name)
                        .arg(double(size) / (1024.0 * 1024.0), 0, 'f', 1)
                        .arg(kLargestPicture >> 20));
            if (read != FileRead::Read)
                continue;
            files.append({name, bytes});
        }
        result += QStringView(html).mid(done, m.capturedStart() - done);
        result += m.captured(1) + QLatin1Char('"') + kPluginFile + QLatin1Char('/') +
                  QString::fromLatin1(QUrl::toPercentEncoding(name)) + QLatin1Char('"');
        done = m.capturedEnd();
    }
    result += QStringView(html).mid(done);
    return result;
}

// The first words of a text without its markup, for the question's name.
QString plainStart(const QString& html) {
    QString decoded = plainTextOf(html);
    decoded = xmlSafe(decoded).simplified();
    if (decoded.size() > kNameLength) {
        qsizetype cut = kNameLength;
        // Never half a character outside the basic plane.
        if (decoded.at(cut - 1).isHighSurrogate())
            --cut;
        decoded.truncate(cut);
        decoded = decoded.trimmed();
    }
    return decoded;
}

// Moodle writes a "/" inside a category's name as "//".
QString categoryPart(const QString& part) {
    QString result = part;
    return result.replace(QLatin1Char('/'), QStringLiteral("//"));
}

QString tooLarge(const QString& picture) {
    return QStringLiteral("导出的文件将大于 %1 MB (到图片 %2 为止), 导入时读不了这么大的文件, "
                          "没有导出. 请缩小试卷中的图片, 或把试卷分成几份分别导出.")
        .arg(kMoodleXmlMaxBytes >> 20)
        .arg(picture);
}

void writeHtmlText(QXmlStreamWriter& w, const QString& html, const QString& picturesFolder) {
    QVector<Embedded> files;
    const QString text = embedPictures(xmlSafe(html), picturesFolder, files);
    w.writeStartElement(QStringLiteral("text"));
    // writeCDATA splits a "]]>" in the text over two sections.
    w.writeCDATA(text);
    w.writeEndElement();
    for (const Embedded& file : files) {
        // The import reads no larger file: none is written.
        if (w.device()->size() + (file.bytes.size() + 2) / 3 * 4 > kMoodleXmlMaxBytes)
            throw ExchangeError(tooLarge(file.name));
        w.writeStartElement(QStringLiteral("file"));
        w.writeAttribute(QStringLiteral("name"), file.name);
        w.writeAttribute(QStringLiteral("path"), QStringLiteral("/"));
        w.writeAttribute(QStringLiteral("encoding"), QStringLiteral("base64"));
        w.writeCharacters(QString::fromLatin1(file.bytes.toBase64()));
        w.writeEndElement();
    }
}

void writeAnswer(QXmlStreamWriter& w, const QString& fraction, const QString& html,
                 const QString& picturesFolder) {
    w.writeStartElement(QStringLiteral("answer"));
    w.writeAttribute(QStringLiteral("fraction"), fraction);
    w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
    writeHtmlText(w, html, picturesFolder);
    w.writeEndElement();
}

void writeQuestion(QXmlStreamWriter& w, const Question& q, int number,
                   const QString& picturesFolder) {
    w.writeStartElement(QStringLiteral("question"));
    w.writeAttribute(QStringLiteral("type"), q.kind == QuestionKind::TrueFalse
                                                 ? QStringLiteral("truefalse")
                                                 : QStringLiteral("multichoice"));
    QString name = plainStart(q.html);
    if (name.isEmpty())
        name = QStringLiteral("第 %1 题").arg(number);
    w.writeStartElement(QStringLiteral("name"));
    w.writeTextElement(QStringLiteral("text"), name);
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("questiontext"));
    w.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
    writeHtmlText(w, q.html, picturesFolder);
    w.writeEndElement();
    w.writeTextElement(QStringLiteral("defaultgrade"), QString::number(q.mark));

    if (q.kind == QuestionKind::TrueFalse) {
        for (const bool value : {true, false}) {
            w.writeStartElement(QStringLiteral("answer"));
            w.writeAttribute(QStringLiteral("fraction"),
                             value == q.answer ? QStringLiteral("100") : QStringLiteral("0"));
            w.writeAttribute(QStringLiteral("format"), QStringLiteral("moodle_auto_format"));
            w.writeTextElement(QStringLiteral("text"),
                               value ? QStringLiteral("true") : QStringLiteral("false"));
            w.writeEndElement();
        }
        w.writeEndElement();
        return;
    }

    const bool single = q.kind == QuestionKind::Single;
    w.writeTextElement(QStringLiteral("single"),
                       single ? QStringLiteral("true") : QStringLiteral("false"));
    w.writeTextElement(QStringLiteral("shuffleanswers"), QStringLiteral("0"));
    w.writeTextElement(QStringLiteral("answernumbering"), QStringLiteral("ABCD"));
    qsizetype correct = 0;
    for (const Choice& c : q.choices)
        correct += c.correct ? 1 : 0;
    // Several correct choices of a single-choice question share the 100 too,
    // as they do in a multiple-choice one: the paper's own page never gives
    // such a question full marks either. Moodle refuses a single-choice
    // question without a 100% choice on import, which points the teacher at it.
    const QStringList right = shares(correct);
    // Moodle marks a multiple-choice question by adding the fractions of the
    // picked choices and clamping the sum to 0..100. This program gives the
    // mark only for exactly the correct choices. A wrong choice at -100 makes
    // any wrong pick worth nothing, as here; what Moodle cannot do is give
    // nothing for an incomplete pick without a wrong one (it gives the share
    // of the correct ones picked), so that is the one case where the two differ.
    // A single-choice question's wrong choices are simply 0: only one can be picked.
    const QString wrong = single ? QStringLiteral("0") : QStringLiteral("-100");
    qsizetype nextRight = 0;
    for (const Choice& c : q.choices)
        writeAnswer(w, c.correct ? right.at(nextRight++) : wrong, c.html, picturesFolder);
    w.writeEndElement();
}

// ---------------------------------------------------------------- reading

// The decoder the XML parser would read the bytes with: the encoding the
// declaration names (put in *declared), else the one its byte order mark or
// first character shows, else UTF-8.
QStringDecoder xmlDecoder(const QByteArray& bytes, QString* declared) {
    // The parser decodes all it is given at once: the declaration is looked
    // for in the first bytes, and in all of them only where it runs longer.
    constexpr qsizetype kStart = 4096;
    QXmlStreamReader declaration(bytes.first(qMin(bytes.size(), kStart)));
    declaration.readNext();
    if (declaration.hasError() && bytes.size() > kStart) {
        declaration.clear();
        declaration.addData(bytes);
        declaration.readNext();
    }
    *declared = declaration.documentEncoding().toString();
    QStringDecoder decoder(declared->toLatin1().constData());
    if (declaration.documentEncoding().isEmpty() || !decoder.isValid())
        decoder = QStringDecoder(
            QStringDecoder::encodingForData(bytes, u'<').value_or(QStringDecoder::Utf8));
    return decoder;
}

// What is said of bytes that are not UTF-8 in a file read as UTF-8.
QString notUtf8(const QByteArray& bytes, const QString& declared) {
    if (!declared.isEmpty())
        return QStringLiteral("这一行有不是 UTF-8 编码的字节, 而文件开头声明的编码是 %1. "
                              "请把文件另存为 UTF-8 编码, 或把开头的 encoding=\"%1\" 改成文件"
                              "真正的编码 (例如 GBK) 后再导入.")
            .arg(declared);
    QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
    const QString decoded = gb(bytes); // decodes here: the call's result is read lazily
    const QString guess = gb.hasError() ? QString() : QStringLiteral(" (看来是 GBK 编码)");
    return QStringLiteral("文件不是 UTF-8 编码%1, 开头又没有声明它的编码, 这一行的字节读不出来. "
                          "请把文件另存为 UTF-8 编码, 或在文件第一行写上 "
                          "<?xml version=\"1.0\" encoding=\"GBK\"?> 这样的编码声明后再导入.")
        .arg(guess);
}

char16_t unit(QChar c) {
    return c.unicode();
}
char16_t unit(char c) {
    return uchar(c);
}

// Refuses a start tag with more than kMaxAttributes attributes before the
// parser sees it, by counting the "=" between "<" and ">" outside quoted values;
// comments, CDATA sections, processing instructions and declarations are
// stepped over whole. One pass over the text whatever it holds. The text is
// UTF-16, or bytes of an encoding whose bytes below 0x80 are always ASCII.
template <typename Text> void checkAttributeCounts(Text text) {
    qint64 line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto at = [&](qsizetype k) { return unit(text[k]); };
    const auto opens = [&](const char* marker) {
        for (qsizetype k = 0; marker[k] != 0; ++k) {
            if (i + k >= n || at(i + k) != char16_t(marker[k]))
                return false;
        }
        return true;
    };
    const auto step = [&] {
        if (at(i) == u'\n')
            ++line;
        ++i;
    };
    const auto pastNext = [&](const char* end) {
        while (i < n && !opens(end))
            step();
        i = qMin(n, i + qsizetype(qstrlen(end)));
    };
    while (i < n) {
        if (at(i) != u'<') {
            step();
        } else if (opens("<!--")) {
            pastNext("-->");
        } else if (opens("<![CDATA[")) {
            pastNext("]]>");
        } else if (opens("<?")) {
            pastNext("?>");
        } else if (opens("<!")) {
            pastNext(">");
        } else {
            ++i;
            int attributes = 0;
            while (i < n && at(i) != u'>' && at(i) != u'<') {
                const char16_t c = at(i);
                step();
                if (c == u'"' || c == u'\'') {
                    while (i < n && at(i) != c && at(i) != u'<')
                        step();
                    if (i < n && at(i) == c)
                        step();
                } else if (c == u'=' && ++attributes > kMaxAttributes) {
                    throw ExchangeError(atLine(
                        int(line), QStringLiteral("一个元素有超过 %1 个属性, 正常的 Moodle XML "
                                                  "文件没有这么多, 文件没有读取.")
                                       .arg(kMaxAttributes)));
                }
            }
        }
    }
}

struct PendingFile {
    QString name; // as the file names it, checked
    QByteArray bytes;
    int line = 0;
    QString placed; // the name it has in the pictures folder, once written
};

// Where a text's @@PLUGINFILE@@ references are turned into picture tags once
// the pictures have their names in the folder.
struct Fixup {
    int paper = 0;
    int question = 0;
    int choice = -1;              // -1: the question's own text
    QHash<QString, int> pictures; // "/name" (path and name) -> index in the pending files
};

struct Area {
    QString text;
    QString format;
    QHash<QString, int> pictures;
};

class Reader {
public:
    // The text as bytes, or decoded when the bytes are not UTF-8.
    template <typename Text>
    Reader(const Text& text, bool empty, ImportPictures& pictures)
        : m_xml(text), m_pictures(pictures), m_empty(empty) {
        // The format has no namespaces; without them the reader keeps no
        // declarations to search at every element.
        m_xml.setNamespaceProcessing(false);
    }

    Imported read() {
        readRoot();
        placePictures();
        applyFixups();
        Imported result = m_result;
        result.papers.removeIf([](const Paper& p) { return p.questions.isEmpty(); });
        return result;
    }

private:
    [[noreturn]] void fail(qint64 line, const QString& what) const {
        throw ExchangeError(QStringLiteral("第 %1 行: %2").arg(line).arg(what));
    }

    void checkXml() const {
        if (!m_xml.hasError())
            return;
        const qint64 line = m_xml.lineNumber();
        QString why = m_xml.errorString();
        while (why.endsWith(QLatin1Char('.'))) // the parser's own full stop
            why.chop(1);
        if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            fail(line, QStringLiteral("文件在这里中断了, 内容不完整 (%1).").arg(why));
        fail(line, QStringLiteral("这不是正确的 XML 文件: %1.").arg(why));
    }

    void readRoot() {
        if (m_empty)
            fail(1, QStringLiteral("文件是空的, 没有任何 XML 元素, 不是 Moodle XML 文件."));
        while (!m_xml.atEnd()) {
            const auto token = next();
            // A document type definition is where entities are declared: their
            // expansion (a few lines growing to gigabytes) and external ones
            // (reading other files of the computer) are never risked.
            if (token == QXmlStreamReader::DTD)
                fail(
                    m_xml.lineNumber(),
                    QStringLiteral("文件含有文档类型定义 (<!DOCTYPE ...>), 出于安全原因不予读取."));
            if (token == QXmlStreamReader::EntityReference)
                fail(m_xml.lineNumber(), QStringLiteral("文件含有无法识别的实体引用."));
            if (token == QXmlStreamReader::StartElement)
                break;
        }
        checkXml();
        if (m_xml.tokenType() != QXmlStreamReader::StartElement)
            fail(m_xml.lineNumber(),
                 QStringLiteral("文件中没有任何 XML 元素, 不是 Moodle XML 文件."));
        if (m_xml.name() != QStringLiteral("quiz"))
            fail(m_xml.lineNumber(),
                 QStringLiteral("文件的根元素是 <%1>, 不是 <quiz>, 不是 Moodle XML 文件.")
                     .arg(m_xml.name().toString()));
        while (nextStartElement()) {
            if (m_xml.name() == QStringLiteral("question"))
                readQuestion();
            else
                skipElement();
        }
        checkXml();
        // Whatever follows </quiz> must still be well-formed (comments only).
        while (!m_xml.atEnd()) {
            if (next() == QXmlStreamReader::EntityReference)
                fail(m_xml.lineNumber(), QStringLiteral("文件含有无法识别的实体引用."));
        }
        checkXml();
    }

    // Every token is read here, so that no element goes deeper than kMaxDepth.
    QXmlStreamReader::TokenType next() {
        const auto token = m_xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++m_depth > kMaxDepth)
            fail(m_xml.lineNumber(),
                 QStringLiteral("元素一层套一层, 超过了 %1 层, 正常的 Moodle XML 文件没有这么深, "
                                "文件没有读取.")
                     .arg(kMaxDepth));
        if (token == QXmlStreamReader::EndElement)
            --m_depth;
        return token;
    }

    // The next element inside the current one; false at the current one's end.
    bool nextStartElement() {
        while (next() != QXmlStreamReader::Invalid) {
            if (m_xml.isEndElement())
                return false;
            if (m_xml.isStartElement())
                return true;
        }
        return false;
    }

    void skipElement() {
        for (int depth = 1; depth > 0 && next() != QXmlStreamReader::Invalid;) {
            if (m_xml.isEndElement())
                --depth;
            else if (m_xml.isStartElement())
                ++depth;
        }
        checkXml();
    }

    enum class Inner { Refused, Read };

    // The current element's text. Elements inside it are refused, or read for
    // their text too; in one loop, however deep they go.
    QString elementText(Inner inner = Inner::Refused) {
        const QString outer = m_xml.name().toString();
        QString text;
        for (int depth = 1; depth > 0;) {
            switch (next()) {
            case QXmlStreamReader::Characters:
            case QXmlStreamReader::EntityReference:
                text += m_xml.text();
                break;
            case QXmlStreamReader::StartElement:
                if (inner == Inner::Refused)
                    fail(m_xml.lineNumber(), QStringLiteral("<%1> 里只能有文字, 不能有元素 <%2>.")
                                                 .arg(outer, m_xml.name().toString()));
                ++depth;
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                break;
            default:
                checkXml();
                fail(m_xml.lineNumber(), QStringLiteral("文件在这里中断了, 内容不完整."));
            }
        }
        return text;
    }

    void readCategory() {
        QString path;
        while (nextStartElement()) {
            if (m_xml.name() == QStringLiteral("category"))
                path = elementText(Inner::Read);
            else
                skipElement();
        }
        checkXml();
        QStringList parts = categoryParts(path);
        Paper paper;
        paper.name = parts.isEmpty() ? kUnfiledPaper : parts.takeLast();
        // The part just before the name, as the GIFT reader takes it.
        paper.category = parts.isEmpty() ? QString() : parts.last();
        m_result.papers.append(paper);
    }

    // A text with its pictures: <text> and <file> elements; anything else
    // (feedback and its pictures) is not kept.
    Area readArea() {
        Area area;
        area.format = m_xml.attributes().value(QStringLiteral("format")).toString();
        while (nextStartElement()) {
            if (m_xml.name() == QStringLiteral("text"))
                area.text = elementText();
            else if (m_xml.name() == QStringLiteral("file"))
                readFile(area);
            else
                skipElement();
        }
        checkXml();
        // Plain text and Markdown are shown as they are typed.
        if (area.format == QStringLiteral("plain_text") ||
            area.format == QStringLiteral("markdown")) {
            area.text = area.text.toHtmlEscaped();
            area.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            area.text.replace(QLatin1Char('\n'), QStringLiteral("<BR>"));
        }
        return area;
    }

    void readFile(Area& area) {
        const qint64 line = m_xml.lineNumber();
        m_records.add(int(line));
        const auto attributes = m_xml.attributes();
        const QString name = attributes.value(QStringLiteral("name")).toString();
        QString path = attributes.value(QStringLiteral("path")).toString();
        const QString encoding = attributes.value(QStringLiteral("encoding")).toString();
        if (!plainPictureName(name))
            fail(line, QStringLiteral("图片文件名 \"%1\" 不能使用: 名字不能为空, 不能太长 "
                                      "(最多 200 字节), 也不能含有 /, \\ 或 \"..\".")
                           .arg(name));
        if (encoding.compare(QStringLiteral("base64"), Qt::CaseInsensitive) != 0)
            fail(line, QStringLiteral("图片 \"%1\" 的编码 \"%2\" 无法读取, 只能是 base64.")
                           .arg(name, encoding));
        QByteArray data = elementText().toLatin1();
        data.removeIf([](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; });
        const auto decoded = QByteArray::fromBase64Encoding(
            data, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
        if (decoded.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
            fail(line, QStringLiteral("图片 \"%1\" 的 base64 内容无法解码.").arg(name));
        if (path.isEmpty())
            path = QStringLiteral("/");
        m_files.append({name, decoded.decoded, int(line), QString()});
        area.pictures.insert(path + name, int(m_files.size() - 1));
    }

    double fraction(qint64 line) {
        const QString text = m_xml.attributes().value(QStringLiteral("fraction")).toString();
        if (text.trimmed().isEmpty())
            return 0;
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            fail(line, QStringLiteral("答案的得分比例 \"%1\" 不是数字.").arg(text));
        return value;
    }

    int mark(qint64 line, const QString& text) {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(value))
            fail(line, QStringLiteral("题目的分数 \"%1\" 不是数字.").arg(text));
        const double rounded = std::round(value);
        if (rounded > double(std::numeric_limits<int>::max()) ||
            rounded < double(std::numeric_limits<int>::min()))
            fail(line, QStringLiteral("题目的分数 %1 太大, 无法保存.").arg(text.trimmed()));
        return int(rounded);
    }

    struct Answer {
        double fraction = 0;
        Area area;
    };

    void readQuestion() {
        const qint64 line = m_xml.lineNumber();
        m_records.add(int(line));
        const QString type = m_xml.attributes().value(QStringLiteral("type")).toString();
        if (type == QStringLiteral("category")) {
            readCategory();
            return;
        }
        const bool taken =
            type == QStringLiteral("truefalse") || type == QStringLiteral("multichoice");
        Question q;
        q.line = int(line);
        Area text;
        QVector<Answer> answers;
        QString single;
        while (nextStartElement()) {
            const auto element = m_xml.name();
            if (element == QStringLiteral("name")) {
                q.name = elementText(Inner::Read).trimmed();
            } else if (!taken) {
                skipElement();
            } else if (element == QStringLiteral("questiontext")) {
                text = readArea();
            } else if (element == QStringLiteral("defaultgrade")) {
                const qint64 at = m_xml.lineNumber();
                q.mark = mark(at, elementText());
            } else if (element == QStringLiteral("single")) {
                single = elementText().trimmed();
            } else if (element == QStringLiteral("answer")) {
                Answer answer;
                m_records.add(int(m_xml.lineNumber()));
                answer.fraction = fraction(m_xml.lineNumber());
                answer.area = readArea();
                answers.append(answer);
            } else {
                skipElement();
            }
        }
        checkXml();
        const QString title =
            q.name.isEmpty() ? QStringLiteral("第 %1 行的题目").arg(line) : q.name;
        if (!taken) {
            m_result.skipped << QStringLiteral("%1 (%2)").arg(
                title, type.isEmpty() ? QStringLiteral("没有类型") : type);
            return;
        }
        if (answers.isEmpty())
            fail(line, QStringLiteral("题目 \"%1\" 没有答案.").arg(title));
        q.html = text.text;

        if (type == QStringLiteral("truefalse")) {
            const Answer* right = nullptr;
            for (const Answer& a : answers) {
                if (a.fraction > 0 && (right == nullptr || a.fraction > right->fraction))
                    right = &a;
            }
            if (right == nullptr)
                fail(line, QStringLiteral("判断题 \"%1\" 没有得分的答案.").arg(title));
            const QString value = right->area.text.trimmed();
            if (value.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
                q.answer = true;
            else if (value.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
                q.answer = false;
            else
                fail(line, QStringLiteral("判断题 \"%1\" 的答案 \"%2\" 不是 true 或 false.")
                               .arg(title, value));
            addQuestion(q, text, {});
            return;
        }

        if (single.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0 ||
            single == QStringLiteral("0"))
            q.kind = QuestionKind::Multiple;
        else
            q.kind = QuestionKind::Single;
        double total = 0;
        double best = 0;
        for (const Answer& a : answers) {
            q.choices.append({a.area.text, a.fraction > 0});
            total += a.fraction > 0 ? a.fraction : 0;
            best = std::max(best, a.fraction);
        }
        if (total <= 0)
            fail(line, QStringLiteral("选择题 \"%1\" 没有正确的选项.").arg(title));
        // The right choices share 100, or one is worth it all (the others
        // partial credit). Shares such as 33.33333 come within a tenth of 100.
        if (std::abs(total - 100) > 0.1 && std::abs(best - 100) > 0.1)
            fail(line, QStringLiteral("选择题 \"%1\" 正确选项的得分比例加起来是 %2%, 不是 100%.")
                           .arg(title)
                           .arg(total));
        addQuestion(q, text, answers);
    }

    void addQuestion(const Question& q, const Area& text, const QVector<Answer>& answers) {
        if (m_result.papers.isEmpty()) {
            Paper paper;
            paper.name = kUnfiledPaper;
            m_result.papers.append(paper);
        }
        const int paper = int(m_result.papers.size() - 1);
        const int question = int(m_result.papers[paper].questions.size());
        m_result.papers[paper].questions.append(q);
        if (!text.pictures.isEmpty())
            m_fixups.append({paper, question, -1, text.pictures});
        for (qsizetype i = 0; i < answers.size(); ++i) {
            if (!answers[i].area.pictures.isEmpty())
                m_fixups.append({paper, question, int(i), answers[i].area.pictures});
        }
    }

    // The referenced pictures, each under a free name or the name of the same
    // picture already there, written aside until the import is taken.
    void placePictures() {
        QSet<int> used;
        for (const Fixup& f : m_fixups) {
            for (const Reference& r : references(f))
                used.insert(r.file);
        }
        for (int index = 0; index < m_files.size(); ++index) {
            if (!used.contains(index))
                continue;
            PendingFile& file = m_files[index];
            file.placed = m_pictures.place(file.name, file.bytes, file.line);
        }
    }

    QString& fixupText(const Fixup& f) {
        Question& q = m_result.papers[f.paper].questions[f.question];
        return f.choice < 0 ? q.html : q.choices[f.choice].html;
    }

    struct Reference {
        qsizetype start = 0;
        qsizetype end = 0;
        int file = 0;
    };

    // The @@PLUGINFILE@@ references of a text that name one of its pictures,
    // written as they are or percent-encoded, as Moodle's editor keeps them.
    // One that names none stays as it is; the import tells the teacher of it.
    QVector<Reference> references(const Fixup& f) {
        static const QRegularExpression reference(QRegularExpression::escape(kPluginFile) +
                                                  QStringLiteral(R"re((/[^"'\s<>?#]*))re"));
        QVector<Reference> result;
        auto it = reference.globalMatch(fixupText(f));
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const QString raw = m.captured(1);
            int index = f.pictures.value(raw, -1);
            if (index < 0)
                index = f.pictures.value(QUrl::fromPercentEncoding(raw.toUtf8()), -1);
            if (index >= 0)
                result.append({m.capturedStart(), m.capturedEnd(), index});
        }
        return result;
    }

    void applyFixups() {
        for (const Fixup& f : m_fixups) {
            QString& text = fixupText(f);
            QString result;
            qsizetype done = 0;
            for (const Reference& r : references(f)) {
                result += QStringView(text).mid(done, r.start - done);
                result += QStringLiteral("images\\") + m_files.at(r.file).placed;
                done = r.end;
            }
            result += QStringView(text).mid(done);
            text = result;
        }
    }

    QXmlStreamReader m_xml;
    ImportPictures& m_pictures;
    bool m_empty = false;
    int m_depth = 0;
    RecordCount m_records;
    Imported m_result;
    QVector<PendingFile> m_files;
    QVector<Fixup> m_fixups;
};

} // namespace

QByteArray writeMoodleXml(const Paper& paper, const QString& picturesFolder) {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("quiz"));

    w.writeStartElement(QStringLiteral("question"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
    w.writeStartElement(QStringLiteral("category"));
    QString path = QStringLiteral("$course$/");
    if (!paper.category.isEmpty())
        path += categoryPart(xmlSafe(paper.category)) + QLatin1Char('/');
    path += categoryPart(xmlSafe(paper.name));
    w.writeTextElement(QStringLiteral("text"), path);
    w.writeEndElement();
    w.writeEndElement();

    for (qsizetype i = 0; i < paper.questions.size(); ++i)
        writeQuestion(w, paper.questions.at(i), int(i + 1), picturesFolder);

    w.writeEndElement();
    w.writeEndDocument();
    if (out.size() > kMoodleXmlMaxBytes)
        throw ExchangeError(
            QStringLiteral("导出的文件将大于 %1 MB, 导入时读不了这么大的文件, 没有导出. "
                           "请把试卷分成几份分别导出.")
                .arg(kMoodleXmlMaxBytes >> 20));
    return out;
}

Imported readMoodleXml(const QByteArray& bytes, ImportPictures& pictures) {
    if (bytes.size() > kMoodleXmlMaxBytes)
        throw ExchangeError(QStringLiteral("文件有 %1 MB, 超过了能读取的 100 MB, 没有读取.")
                                .arg(double(bytes.size()) / (1024.0 * 1024.0), 0, 'f', 1));
    const bool empty = QByteArrayView(bytes).trimmed().isEmpty(); // no copy of the file
    QString declared;
    QStringDecoder decoder = xmlDecoder(bytes, &declared);
    if (QByteArrayView(decoder.name()) == "UTF-8") {
        // Checked here, where the line of the bad bytes can be named: the
        // parser decodes all it is given at once and would blame line 1.
        if (const int line = firstNonUtf8Line(bytes); line > 0)
            throw ExchangeError(atLine(line, notUtf8(bytes, declared)));
        // The parser refuses a NUL too, but in English.
        refuseNul(bytes);
        checkAttributeCounts(QByteArrayView(bytes));
        // Given the bytes, the parser would decode them all at once and keep
        // the text beside them; from a device it decodes a part at a time.
        QBuffer device;
        device.setData(bytes); // shared, not copied
        device.open(QIODevice::ReadOnly);
        return Reader(&device, empty, pictures).read();
    }
    // Scanned as the parser will read it: bytes of UTF-16 and others could hide
    // a "<" or "=" from a scan of the bytes.
    QString text = decoder(bytes);
    if (decoder.hasError()) {
        // The decoder puts U+FFFD where bytes were not of its encoding.
        const qsizetype bad = qMax<qsizetype>(0, text.indexOf(QChar::ReplacementCharacter));
        throw ExchangeError(atLine(
            int(QStringView(text).first(bad).count(u'\n') + 1),
            QStringLiteral("这一行有不是 %1 编码的字节, 与文件的编码不符. 请把文件另存为 UTF-8 "
                           "编码 (并把开头的编码声明改为 encoding=\"UTF-8\") 后再导入.")
                .arg(declared.isEmpty() ? QString::fromLatin1(decoder.name()) : declared)));
    }
    refuseNul(text);
    checkAttributeCounts(QStringView(text));
    Reader reader(text, empty, pictures);
    text.clear(); // the reader holds a copy of its own
    return reader.read();
}

Imported readMoodleXml(const QByteArray& bytes, const QString& picturesFolder) {
    ImportPictures pictures(picturesFolder);
    Imported imported = readMoodleXml(bytes, pictures);
    pictures.moveIn();
    return imported;
}

} // namespace tess::exchange
