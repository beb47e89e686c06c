#include "exchange/gift.h"

#include "exchange/textfile.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace tess::exchange {

namespace {

enum class Format { Html, Plain };

// One question's lines as they stand in the file, comment lines left out.
struct Block {
    QString text;              // the lines joined by '\n'
    QVector<int> lines;        // the file's line number of each of them
    QVector<qsizetype> starts; // where each of them starts in text

    void append(QStringView line, int number) {
        if (!lines.isEmpty())
            text += QLatin1Char('\n');
        starts.append(text.size());
        text += line;
        lines.append(number);
    }

    // Found by halving, not by counting line ends: a question with a million
    // answers asks this once for each.
    int lineAt(qsizetype offset) const {
        const auto after = std::upper_bound(starts.cbegin(), starts.cend(), offset);
        return lines[qMax(qsizetype(0), qsizetype(after - starts.cbegin()) - 1)];
    }
};

[[noreturn]] void fail(int line, const QString& message) {
    throw ExchangeError(atLine(line, message));
}

// Where the first `needle` in s[from, to) stands that no backslash escapes; -1 if none.
qsizetype findUnescaped(const QString& s, QStringView needle, qsizetype from, qsizetype to = -1) {
    if (to < 0)
        to = s.size();
    for (qsizetype i = from; i < to; ++i) {
        if (s[i] == u'\\') {
            ++i;
            continue;
        }
        if (QStringView(s).sliced(i, to - i).startsWith(needle))
            return i;
    }
    return -1;
}

// The characters GIFT gives a meaning to stand for themselves behind a
// backslash; "\n" is a line break. Any other backslash is kept.
QString unescape(QStringView s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar next = s[i + 1];
            if (next == u'n') {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (QStringView(u"\\=~{}#:").contains(next)) {
                out += next;
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

QStringView trimmedLeft(QStringView s) {
    qsizetype i = 0;
    while (i < s.size() && s[i].isSpace())
        ++i;
    return s.sliced(i);
}

// Takes a leading [html], [moodle], [plain] or [markdown] off text. Only HTML
// stays markup here: the others are shown as the plain text they are.
Format takeFormat(QStringView& text, Format inherited) {
    static const struct {
        QStringView marker;
        Format format;
    } markers[] = {{u"[html]", Format::Html},
                   {u"[moodle]", Format::Plain},
                   {u"[plain]", Format::Plain},
                   {u"[markdown]", Format::Plain}};
    const QStringView t = trimmedLeft(text);
    for (const auto& m : markers) {
        if (t.startsWith(m.marker, Qt::CaseInsensitive)) {
            text = t.sliced(m.marker.size());
            return m.format;
        }
    }
    return inherited;
}

QString toHtml(QStringView raw, Format format) {
    const QString text = unescape(raw);
    return format == Format::Html ? text.trimmed() : plainToHtml(text);
}

// How a question without a title is named in the list of questions left out.
QString snippet(QStringView raw) {
    const QString text = unescape(raw).simplified();
    return text.size() > 20 ? text.left(20).trimmed() + QStringLiteral("…") : text;
}

class GiftReader {
public:
    explicit GiftReader(const QString& fileName) : m_fileName(fileBaseName(fileName)) {
        setCategory({});
    }

    void setCategory(const QString& path);
    void read(const Block& block);
    Imported finish(bool blank);

private:
    void readChoices(const Block& block, qsizetype begin, qsizetype end, Format format,
                     Question& question);
    void skip(int line, const QString& name, const char16_t* kind);
    void add(Question question);

    QString m_fileName;
    QString m_key; // the category's whole path; empty for the paper named after the file
    QString m_category;
    QString m_name;
    QVector<Paper> m_papers;
    QHash<QString, qsizetype> m_paperOfKey;
    QStringList m_skipped;
    RecordCount m_records;
};

void GiftReader::setCategory(const QString& path) {
    const QStringList parts = categoryParts(path);
    m_key = parts.join(QLatin1Char('/'));
    m_name = parts.isEmpty() ? m_fileName : parts.last();
    m_category = parts.size() > 1 ? parts[parts.size() - 2] : QString();
}

void GiftReader::skip(int line, const QString& name, const char16_t* kind) {
    m_records.add(line);
    m_skipped.append(
        name.isEmpty() ? QStringLiteral("第 %1 行 (%2)").arg(line).arg(QStringView(kind))
                       : QStringLiteral("第 %1 行 %2 (%3)").arg(line).arg(name, QStringView(kind)));
}

void GiftReader::add(Question question) {
    m_records.add(question.line);
    // A category named twice in a file still gives one paper.
    auto it = m_paperOfKey.constFind(m_key);
    if (it == m_paperOfKey.constEnd()) {
        it = m_paperOfKey.insert(m_key, m_papers.size());
        m_papers.append(Paper{m_category, m_name, {}});
    }
    m_papers[*it].questions.append(std::move(question));
}

void GiftReader::read(const Block& block) {
    const QString& t = block.text;
    const int first = block.lines.first();
    qsizetype pos = t.size() - trimmedLeft(t).size();

    QString title;
    if (QStringView(t).sliced(pos).startsWith(u"::")) {
        const qsizetype end = findUnescaped(t, u"::", pos + 2);
        if (end < 0)
            fail(first, QStringLiteral("标题开头的 :: 没有结尾的 ::"));
        title = unescape(QStringView(t).sliced(pos + 2, end - pos - 2)).trimmed();
        pos = end + 2;
    }

    const qsizetype open = findUnescaped(t, u"{", pos);
    const qsizetype stray = findUnescaped(t, u"}", pos, open < 0 ? -1 : open);
    if (stray >= 0)
        fail(block.lineAt(stray), QStringLiteral("多出一个 }，它前面没有 {"));
    if (open < 0) {
        skip(first, title.isEmpty() ? snippet(QStringView(t).sliced(pos)) : title, u"说明");
        return;
    }
    const qsizetype close = findUnescaped(t, u"}", open + 1);
    if (close < 0 || findUnescaped(t, u"{", open + 1, close) >= 0)
        fail(block.lineAt(open), QStringLiteral("{ 没有对应的 }"));
    if (const qsizetype again = findUnescaped(t, u"{", close + 1); again >= 0)
        fail(block.lineAt(again), QStringLiteral("一道题只能有一组 {} 答案；两道题之间要空一行"));
    if (const qsizetype again = findUnescaped(t, u"}", close + 1); again >= 0)
        fail(block.lineAt(again), QStringLiteral("多出一个 }，它前面没有 {"));

    QStringView before = QStringView(t).sliced(pos, open - pos);
    const Format format = takeFormat(before, Format::Plain);
    QString raw = before.toString();
    // Answers in the middle of the text: the text shows a blank where they stood.
    const QStringView after = QStringView(t).sliced(close + 1);
    if (!after.trimmed().isEmpty())
        raw += QStringLiteral("_____") + after.toString();
    const QString name = title.isEmpty() ? snippet(raw) : title;

    // The answers, general feedback ("####...") left out, without surrounding blanks.
    qsizetype begin = open + 1;
    qsizetype end = close;
    if (const qsizetype general = findUnescaped(t, u"####", begin, end); general >= 0)
        end = general;
    while (begin < end && t[begin].isSpace())
        ++begin;
    while (end > begin && t[end - 1].isSpace())
        --end;

    Question question;
    question.name = title;
    question.line = first;
    if (begin == end) {
        skip(first, name, u"论述题");
        return;
    }
    if (t[begin] == u'#') {
        skip(first, name, u"数值题");
        return;
    }
    if (findUnescaped(t, u"~", begin, end) >= 0) {
        readChoices(block, begin, end, format, question);
    } else if (findUnescaped(t, u"=", begin, end) >= 0 &&
               findUnescaped(t, u"->", begin, end) >= 0) {
        skip(first, name, u"匹配题");
        return;
    } else {
        const qsizetype feedback = findUnescaped(t, u"#", begin, end);
        const QString word = QStringView(t)
                                 .sliced(begin, (feedback < 0 ? end : feedback) - begin)
                                 .trimmed()
                                 .toString()
                                 .toUpper();
        if (word == u"T" || word == u"TRUE" || word == u"F" || word == u"FALSE") {
            question.kind = QuestionKind::TrueFalse;
            question.answer = word.startsWith(u'T');
        } else if (t[begin] == u'=') {
            skip(first, name, u"简答题");
            return;
        } else {
            fail(block.lineAt(begin), QStringLiteral("认不出 {} 里的答案"));
        }
    }

    question.html = toHtml(raw, format);
    if (question.html.isEmpty())
        fail(first, QStringLiteral("题目没有内容"));
    add(std::move(question));
}

// A set of answers marked "=" (right) and "~" (wrong), each perhaps weighted
// "%50%". Without weights one "=" makes a single choice and several a multiple
// choice; with weights it is a multiple choice whose right answers are those
// weighted above zero and those marked "=" without a weight.
void GiftReader::readChoices(const Block& block, qsizetype begin, qsizetype end, Format format,
                             Question& question) {
    const QString& t = block.text;
    QVector<qsizetype> marks;
    for (qsizetype i = begin; i < end; ++i) {
        if (t[i] == u'\\')
            ++i;
        else if (t[i] == u'=' || t[i] == u'~') {
            m_records.add(block.lineAt(i));
            marks.append(i);
        }
    }
    if (marks.first() != begin)
        fail(block.lineAt(begin), QStringLiteral("每个答案要以 = 或 ~ 开头"));

    bool weighted = false;
    int rightMarks = 0;
    struct Item {
        bool right;
        bool weighted;
        double weight;
    };
    QVector<Item> items;
    for (qsizetype k = 0; k < marks.size(); ++k) {
        qsizetype s = marks[k] + 1;
        qsizetype e = k + 1 < marks.size() ? marks[k + 1] : end;
        const int line = block.lineAt(marks[k]);
        Item item{t[marks[k]] == u'=', false, 0};
        while (s < e && t[s].isSpace())
            ++s;
        if (s < e && t[s] == u'%') {
            // Looked for within this answer only, not through the rest of the question.
            const qsizetype found = QStringView(t).sliced(s + 1, e - s - 1).indexOf(u'%');
            const qsizetype close = found < 0 ? -1 : s + 1 + found;
            bool ok = false;
            if (close > s && close < e)
                item.weight = QStringView(t).sliced(s + 1, close - s - 1).toDouble(&ok);
            if (!ok)
                fail(line, QStringLiteral("答案的分数要写成 %50% 这样"));
            item.weighted = weighted = true;
            s = close + 1;
        }
        if (const qsizetype feedback = findUnescaped(t, u"#", s, e); feedback >= 0)
            e = feedback;
        QStringView text = QStringView(t).sliced(s, e - s);
        const Format choiceFormat = takeFormat(text, format);
        Choice choice;
        choice.html = toHtml(text, choiceFormat);
        if (choice.html.isEmpty())
            fail(line, QStringLiteral("答案没有内容"));
        question.choices.append(choice);
        items.append(item);
        rightMarks += item.right ? 1 : 0;
    }

    if (!weighted && rightMarks == 0)
        fail(question.line, QStringLiteral("单选题没有正确答案：正确的答案要以 = 开头"));
    question.kind = weighted || rightMarks > 1 ? QuestionKind::Multiple : QuestionKind::Single;
    double weights = 0;
    double best = 0;
    bool anyRight = false;
    for (qsizetype k = 0; k < items.size(); ++k) {
        const Item& item = items[k];
        question.choices[k].correct = item.weighted ? item.weight > 0 : item.right;
        anyRight = anyRight || question.choices[k].correct;
        if (item.weighted && item.weight > 0) {
            weights += item.weight;
            best = std::max(best, item.weight);
        }
    }
    if (!anyRight)
        fail(question.line, QStringLiteral("选择题没有正确答案"));
    // The right answers share 100, or one of them is worth it all (the others
    // partial credit). Shares such as 33.33333 come within a tenth of 100.
    if (rightMarks == 0 && std::abs(weights - 100) > 0.1 && std::abs(best - 100) > 0.1)
        fail(question.line,
             QStringLiteral("正确答案的得分比例加起来是 %1%, 不是 100%").arg(weights));
}

Imported GiftReader::finish(bool blank) {
    if (blank)
        fail(1, QStringLiteral("文件是空的"));
    if (m_papers.isEmpty()) {
        QString message = QStringLiteral("文件里没有判断题、单选题或多选题");
        if (!m_skipped.isEmpty())
            message += QStringLiteral("（%1 道其他题型的题不能导入）").arg(m_skipped.size());
        fail(1, message);
    }
    return Imported{m_papers, m_skipped};
}

} // namespace

Imported readGift(const QByteArray& bytes, const QString& fileName) {
    const QString text = decodeText(bytes);
    GiftReader reader(fileName);
    Block block;
    const auto flush = [&] {
        if (!block.lines.isEmpty())
            reader.read(block);
        block = Block();
    };
    Lines lines(text);
    QStringView line;
    for (int number = 1; lines.next(line); ++number) {
        const QStringView trimmed = line.trimmed();
        if (trimmed.startsWith(u"//"))
            continue; // a comment line does not end a question
        if (trimmed.isEmpty()) {
            flush();
        } else if (trimmed.startsWith(u"$CATEGORY:", Qt::CaseInsensitive)) {
            flush();
            reader.setCategory(trimmed.sliced(10).toString());
        } else {
            block.append(line, number);
        }
    }
    flush();
    return reader.finish(QStringView(text).trimmed().isEmpty()); // no copy of the text
}

} // namespace tess::exchange
