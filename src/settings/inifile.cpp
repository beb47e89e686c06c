#include "settings/inifile.h"

#include "files/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <stdexcept>

namespace tess {

namespace {

// GB18030 is a superset of GBK that writes every GBK character with the same
// bytes, so files stay GBK while characters GBK lacks still survive.
const char* const FileEncoding = "GB18030";

QString decode(const QByteArray& bytes) {
    QStringDecoder decoder(FileEncoding);
    return decoder.decode(bytes);
}

QByteArray encode(QStringView text) {
    QStringEncoder encoder(FileEncoding);
    return encoder.encode(text);
}

// Blanks in the profile sense: ASCII white space only. An ideographic space is
// content and stays.
bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\r' || u == u'\n' || u == u'\v' || u == u'\f';
}

QStringView trimBlanks(QStringView s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool isEnclosedInQuotes(QStringView s) {
    return s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front();
}

// The longest start of text whose encoding fits in maxBytes, never cutting a
// character (or a surrogate pair) in half.
QString clipToBytes(const QString& text, int maxBytes) {
    if (encode(text).size() <= maxBytes)
        return text;
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const qsizetype bytes = encode(QStringView(text).mid(i, len)).size();
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        i += len;
    }
    return text.left(i);
}

struct Parsed {
    enum Kind { Other, Section, Key } kind = Other;
    QString name;  // section or key name, blanks removed
    QString value; // raw value text after '=' (keys only)
};

Parsed parseLine(const QByteArray& raw, bool first) {
    QByteArray bytes = raw;
    if (first && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QString text = decode(bytes);
    const QStringView line = trimBlanks(text);
    Parsed p;
    if (line.isEmpty() || line.front() == u';')
        return p;
    if (line.front() == u'[') {
        const qsizetype close = line.indexOf(u']');
        p.kind = Parsed::Section;
        p.name = trimBlanks(close < 0 ? line.mid(1) : line.mid(1, close - 1)).toString();
        return p;
    }
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return p;
    p.kind = Parsed::Key;
    p.name = trimBlanks(line.left(eq)).toString();
    p.value = line.mid(eq + 1).toString();
    return p;
}

} // namespace

bool IniFile::load(const QString& path) {
    m_lines.clear();
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    setContents(bytes);
    return true;
}

void IniFile::setContents(const QByteArray& bytes) {
    m_lines.clear();
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    while (start < n) {
        qsizetype i = start;
        while (i < n && bytes[i] != '\n' && bytes[i] != '\r')
            ++i;
        Line line;
        line.text = bytes.mid(start, i - start);
        if (i < n) {
            const qsizetype eolLen =
                (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n') ? 2 : 1;
            line.eol = bytes.mid(i, eolLen);
            i += eolLen;
        }
        m_lines.push_back(std::move(line));
        start = i;
    }
}

QByteArray IniFile::contents() const {
    QByteArray out;
    for (const Line& line : m_lines)
        out += line.text + line.eol;
    return out;
}

IniFile::Found IniFile::find(const QString& section, const QString& key) const {
    Found found;
    bool inSection = false;
    bool inFirstSection = false;
    for (int i = 0; i < int(m_lines.size()); ++i) {
        const Parsed p = parseLine(m_lines[i].text, i == 0);
        if (p.kind == Parsed::Section) {
            inSection = p.name.compare(section, Qt::CaseInsensitive) == 0;
            inFirstSection = inSection && !found.hasSection;
            if (inFirstSection) {
                found.hasSection = true;
                found.sectionEnd = i + 1;
            }
            continue;
        }
        if (inFirstSection && !trimBlanks(decode(m_lines[i].text)).isEmpty())
            found.sectionEnd = i + 1;
        if (found.line < 0 && inSection && p.kind == Parsed::Key &&
            p.name.compare(key, Qt::CaseInsensitive) == 0)
            found.line = i;
    }
    return found;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const Found found = find(section, key);
    if (found.line < 0)
        return std::nullopt;
    const Parsed p = parseLine(m_lines[found.line].text, found.line == 0);
    QStringView v = trimBlanks(p.value);
    if (isEnclosedInQuotes(v))
        v = v.mid(1, v.size() - 2);
    return clipToBytes(v.toString(), MaxValueBytes);
}

QByteArray IniFile::newLineBreak() const {
    for (const Line& line : m_lines)
        if (!line.eol.isEmpty())
            return line.eol;
    return QByteArrayLiteral("\n");
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    // A line break inside the value would end the line and could smuggle in
    // further keys; the value is one line.
    QString v = value;
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    // Reading drops one pair of enclosing quotes; add a pair so that a value
    // that itself starts and ends with the same quote reads back unchanged.
    if (isEnclosedInQuotes(v))
        v = QLatin1Char('"') + v + QLatin1Char('"');
    const QByteArray encodedValue = encode(v);

    const Found found = find(section, key);
    const QByteArray eol = newLineBreak();
    if (found.line >= 0) {
        // Keep the key as written (its case, its indentation) and replace what follows '='.
        // '=' is never a trailing byte of a GBK or GB18030 character, so the byte search is safe.
        QByteArray& text = m_lines[found.line].text;
        text = text.left(text.indexOf('=') + 1) + encodedValue;
        return;
    }
    const Line keyLine{encode(key) + '=' + encodedValue, eol};
    if (found.hasSection) {
        const auto pos = std::size_t(found.sectionEnd);
        if (pos > 0 && m_lines[pos - 1].eol.isEmpty())
            m_lines[pos - 1].eol = eol;
        m_lines.insert(m_lines.begin() + qsizetype(pos), keyLine);
        return;
    }
    if (!m_lines.empty()) {
        if (m_lines.back().eol.isEmpty())
            m_lines.back().eol = eol;
        bool hasContent = false;
        for (const Line& line : m_lines)
            hasContent = hasContent || !trimBlanks(decode(line.text)).isEmpty();
        if (hasContent && !trimBlanks(decode(m_lines.back().text)).isEmpty())
            m_lines.push_back(Line{QByteArray(), eol});
    }
    m_lines.push_back(Line{'[' + encode(section) + ']', eol});
    m_lines.push_back(keyLine);
}

void IniFile::save(const QString& path) const {
    // A save killed before its rename left its temporary copy beside the file.
    removeLeftovers(path);
    const QString failure = replaceFileContents(path, contents());
    if (!failure.isEmpty()) {
        const QString message =
            QStringLiteral("无法写入设置文件“%1”: %2").arg(QDir::toNativeSeparators(path), failure);
        throw std::runtime_error(message.toStdString());
    }
}

void updateSettingsFile(const QString& path, const std::function<void(IniFile&)>& write) {
    IniFile ini;
    if (QFileInfo::exists(path) && !ini.load(path)) {
        const QString message =
            QStringLiteral("无法读取设置文件“%1”,设置没有保存。请检查该文件是否可以读写。")
                .arg(QDir::toNativeSeparators(path));
        throw std::runtime_error(message.toStdString());
    }
    write(ini);
    ini.save(path);
}

} // namespace tess
