#include "exchange/textfile.h"

#include "exchange/exchangemodel.h"

#include <QStringDecoder>

#include <algorithm>
#include <climits>

namespace tess::exchange {

namespace {

// Stateless: a sequence cut off by the end of the bytes is an error, not input
// kept back for more.
bool isUtf8(const QByteArray& bytes, QString* text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *text = decoder(bytes); // decodes here: the call's result is read lazily
    return !decoder.hasError();
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    // Neither encoding has a zero byte inside a character.
    refuseNul(bytes);
    QString text;
    if (isUtf8(bytes, &text))
        return text;
    // GB18030 reads every GBK file the same way and fails on far fewer bytes.
    QStringDecoder gb("GB18030", QStringDecoder::Flag::Stateless);
    text = gb(bytes);
    if (!gb.hasError())
        return text;
    // Decoded again line by line only to say where the bad bytes are, each
    // line in its turn rather than all of them split apart at once, and only
    // the lines that are not plain ASCII, which both encodings read alike.
    qsizetype start = 0;
    for (int number = 1; start <= bytes.size(); ++number) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        start = end + 1;
        if (std::all_of(line.begin(), line.end(), [](char c) { return uchar(c) < 0x80; }))
            continue;
        // A decoder of its own: resetting one does not forget an error.
        QStringDecoder lineDecoder("GB18030", QStringDecoder::Flag::Stateless);
        QString lineText = lineDecoder(line.toByteArray());
        if (lineDecoder.hasError() && !isUtf8(line.toByteArray(), &lineText))
            throw ExchangeError(atLine(number, QStringLiteral("文字既不是 UTF-8 也不是 GBK 编码")));
    }
    throw ExchangeError(atLine(1, QStringLiteral("文字既不是 UTF-8 也不是 GBK 编码")));
}

namespace {

template <typename Text> void refuseNulIn(Text text) {
    const qsizetype nul = text.indexOf(typename Text::value_type(0));
    if (nul < 0)
        return;
    const qsizetype line = text.first(nul).count(typename Text::value_type(u'\n')) + 1;
    throw ExchangeError(
        atLine(int(qMin<qsizetype>(line, INT_MAX)),
               QStringLiteral("这一行有空字符 (编码为 0 的字符), 题目文件里不会有它: 文件也许"
                              "是 UTF-16 编码, 或者不是文本文件. 请用文本编辑器把文件另存为 "
                              "UTF-8 编码后再导入.")));
}

} // namespace

void refuseNul(QByteArrayView bytes) {
    refuseNulIn(bytes);
}

void refuseNul(QStringView text) {
    refuseNulIn(text);
}

int firstNonUtf8Line(QByteArrayView bytes) {
    if (bytes.isValidUtf8())
        return 0;
    // A line end is never part of a character: each line is checked alone.
    qsizetype start = 0;
    for (int number = 1;; ++number) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        if (!bytes.sliced(start, end - start).isValidUtf8() || end == bytes.size())
            return number;
        start = end + 1;
    }
}

bool Lines::next(QStringView& line) {
    if (m_done)
        return false;
    qsizetype end = m_pos;
    while (end < m_text.size() && m_text[end] != u'\n' && m_text[end] != u'\r')
        ++end;
    line = m_text.sliced(m_pos, end - m_pos);
    if (end == m_text.size())
        m_done = true;
    else if (m_text[end] == u'\r' && end + 1 < m_text.size() && m_text[end + 1] == u'\n')
        m_pos = end + 2;
    else
        m_pos = end + 1;
    return true;
}

QString fileBaseName(const QString& fileName) {
    const qsizetype slash =
        qMax(fileName.lastIndexOf(QLatin1Char('/')), fileName.lastIndexOf(QLatin1Char('\\')));
    QString name = fileName.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name;
}

QString plainToHtml(const QString& text) {
    QString html;
    html.reserve(text.size());
    Lines lines(QStringView(text).trimmed());
    QStringView line;
    for (bool first = true; lines.next(line); first = false) {
        if (!first)
            html += QStringLiteral("<br>");
        for (const QChar c : line.trimmed()) {
            if (c == u'&')
                html += QStringLiteral("&amp;");
            else if (c == u'<')
                html += QStringLiteral("&lt;");
            else if (c == u'>')
                html += QStringLiteral("&gt;");
            else if (c == u'"')
                html += QStringLiteral("&quot;");
            else
                html += c;
        }
    }
    return html;
}

QString atLine(int line, const QString& message) {
    return QStringLiteral("第 %1 行: %2").arg(line).arg(message);
}

void RecordCount::add(int line) {
    if (++m_count > kMax)
        throw ExchangeError(
            atLine(line, QStringLiteral("文件里的题目和选项超过了 %1 个, "
                                        "一次导入不了这么多, 请把文件分成几个再导入.")
                             .arg(kMax)));
}

// "$course$/top/数学/期中" -> {"数学", "期中"}: the context and "top" are
// Moodle's, not the teacher's; "//" is a "/" inside a name.
QStringList categoryParts(const QString& path) {
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path.at(i) == QLatin1Char('/')) {
            if (i + 1 < path.size() && path.at(i + 1) == QLatin1Char('/')) {
                part += QLatin1Char('/');
                ++i;
                continue;
            }
            parts << part.trimmed();
            part.clear();
            continue;
        }
        part += path.at(i);
    }
    parts << part.trimmed();
    parts.removeAll(QString());
    if (!parts.isEmpty() && parts.first().size() > 1 &&
        parts.first().startsWith(QLatin1Char('$')) && parts.first().endsWith(QLatin1Char('$')))
        parts.removeFirst();
    if (!parts.isEmpty() && parts.first() == QStringLiteral("top"))
        parts.removeFirst();
    return parts;
}

} // namespace tess::exchange
