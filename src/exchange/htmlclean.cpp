#include "exchange/htmlclean.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>

// Qt has no HTML sanitizer, and QXmlStreamReader refuses ordinary HTML (an
// unclosed <p>, <br>, unquoted attributes), so texts are cleaned by a small
// tokenizer of our own that splits tags, attributes and comments the way
// browsers do, and an allow-list over what it finds: whatever a browser would
// read as something else is either rewritten or taken out.
namespace tess::exchange {

namespace {

// Deeper nesting than this is flattened: no question needs it, and the page
// and the printed paper then never meet it.
constexpr int kMostOpen = 200;

enum class Kind {
    Kept,          // shown as it is, with the allowed attributes
    Void,          // kept, never has content or an end tag
    Dropped,       // the tag goes, its text stays; harmless, not counted
    Unsafe,        // the tag goes and is counted; its text stays
    UnsafeContent, // the tag and everything up to its end tag go, counted
};

Kind kindOf(const QString& name) {
    static const QSet<QString> kept{
        QStringLiteral("a"),        QStringLiteral("abbr"),       QStringLiteral("b"),
        QStringLiteral("big"),      QStringLiteral("blockquote"), QStringLiteral("caption"),
        QStringLiteral("center"),   QStringLiteral("cite"),       QStringLiteral("code"),
        QStringLiteral("colgroup"), QStringLiteral("dd"),         QStringLiteral("del"),
        QStringLiteral("dfn"),      QStringLiteral("div"),        QStringLiteral("dl"),
        QStringLiteral("dt"),       QStringLiteral("em"),         QStringLiteral("font"),
        QStringLiteral("h1"),       QStringLiteral("h2"),         QStringLiteral("h3"),
        QStringLiteral("h4"),       QStringLiteral("h5"),         QStringLiteral("h6"),
        QStringLiteral("i"),        QStringLiteral("ins"),        QStringLiteral("kbd"),
        QStringLiteral("li"),       QStringLiteral("mark"),       QStringLiteral("nobr"),
        QStringLiteral("ol"),       QStringLiteral("p"),          QStringLiteral("pre"),
        QStringLiteral("q"),        QStringLiteral("s"),          QStringLiteral("samp"),
        QStringLiteral("small"),    QStringLiteral("span"),       QStringLiteral("strike"),
        QStringLiteral("strong"),   QStringLiteral("sub"),        QStringLiteral("sup"),
        QStringLiteral("table"),    QStringLiteral("tbody"),      QStringLiteral("td"),
        QStringLiteral("tfoot"),    QStringLiteral("th"),         QStringLiteral("thead"),
        QStringLiteral("tr"),       QStringLiteral("tt"),         QStringLiteral("u"),
        QStringLiteral("ul"),       QStringLiteral("var")};
    static const QSet<QString> empty{QStringLiteral("br"), QStringLiteral("col"),
                                     QStringLiteral("hr"), QStringLiteral("img"),
                                     QStringLiteral("wbr")};
    // Whose content is script, style, another document or markup of another
    // kind: none of it is the question's text.
    static const QSet<QString> withContent{
        QStringLiteral("applet"),   QStringLiteral("frameset"), QStringLiteral("iframe"),
        QStringLiteral("math"),     QStringLiteral("noembed"),  QStringLiteral("noframes"),
        QStringLiteral("noscript"), QStringLiteral("object"),   QStringLiteral("plaintext"),
        QStringLiteral("script"),   QStringLiteral("style"),    QStringLiteral("svg"),
        QStringLiteral("template"), QStringLiteral("textarea"), QStringLiteral("title"),
        QStringLiteral("xmp")};
    // What runs, sends, fetches or changes the page; forms and their controls.
    static const QSet<QString> unsafe{
        QStringLiteral("audio"),    QStringLiteral("base"),     QStringLiteral("bgsound"),
        QStringLiteral("button"),   QStringLiteral("datalist"), QStringLiteral("embed"),
        QStringLiteral("fieldset"), QStringLiteral("form"),     QStringLiteral("frame"),
        QStringLiteral("input"),    QStringLiteral("isindex"),  QStringLiteral("keygen"),
        QStringLiteral("link"),     QStringLiteral("meta"),     QStringLiteral("optgroup"),
        QStringLiteral("option"),   QStringLiteral("output"),   QStringLiteral("param"),
        QStringLiteral("portal"),   QStringLiteral("select"),   QStringLiteral("source"),
        QStringLiteral("track"),    QStringLiteral("video")};
    if (kept.contains(name))
        return Kind::Kept;
    if (empty.contains(name))
        return Kind::Void;
    if (withContent.contains(name))
        return Kind::UnsafeContent;
    if (unsafe.contains(name))
        return Kind::Unsafe;
    return Kind::Dropped;
}

// Attributes that only lay out or describe; src, href and style are checked
// on their own.
bool plainAttribute(const QString& name) {
    static const QSet<QString> allowed{
        QStringLiteral("abbr"),        QStringLiteral("align"),    QStringLiteral("alt"),
        QStringLiteral("bgcolor"),     QStringLiteral("border"),   QStringLiteral("cellpadding"),
        QStringLiteral("cellspacing"), QStringLiteral("clear"),    QStringLiteral("color"),
        QStringLiteral("colspan"),     QStringLiteral("dir"),      QStringLiteral("face"),
        QStringLiteral("frame"),       QStringLiteral("headers"),  QStringLiteral("height"),
        QStringLiteral("hspace"),      QStringLiteral("lang"),     QStringLiteral("noshade"),
        QStringLiteral("nowrap"),      QStringLiteral("reversed"), QStringLiteral("rowspan"),
        QStringLiteral("rules"),       QStringLiteral("scope"),    QStringLiteral("size"),
        QStringLiteral("span"),        QStringLiteral("start"),    QStringLiteral("summary"),
        QStringLiteral("title"),       QStringLiteral("type"),     QStringLiteral("valign"),
        QStringLiteral("value"),       QStringLiteral("vspace"),   QStringLiteral("width")};
    return allowed.contains(name);
}

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int hexValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

void appendCodePoint(QString& out, char32_t value) {
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        value = 0xFFFD;
    const char32_t one[] = {value};
    out += QString::fromUcs4(one, 1);
}

// An attribute's value as the browser reads it: character references
// decoded, the numeric ones and those that spell a scheme or a separator
// (an address hidden as jav&#x61;script&colon; is still one).
QString decodeReferences(QStringView s) {
    if (!s.contains(u'&'))
        return s.toString();
    static const QHash<QString, QString> named{{QStringLiteral("amp"), QStringLiteral("&")},
                                               {QStringLiteral("lt"), QStringLiteral("<")},
                                               {QStringLiteral("gt"), QStringLiteral(">")},
                                               {QStringLiteral("quot"), QStringLiteral("\"")},
                                               {QStringLiteral("apos"), QStringLiteral("'")},
                                               {QStringLiteral("nbsp"), QStringLiteral("\u00a0")},
                                               {QStringLiteral("colon"), QStringLiteral(":")},
                                               {QStringLiteral("Tab"), QStringLiteral("\t")},
                                               {QStringLiteral("NewLine"), QStringLiteral("\n")},
                                               {QStringLiteral("lpar"), QStringLiteral("(")},
                                               {QStringLiteral("rpar"), QStringLiteral(")")},
                                               {QStringLiteral("sol"), QStringLiteral("/")},
                                               {QStringLiteral("bsol"), QStringLiteral("\\")},
                                               {QStringLiteral("period"), QStringLiteral(".")},
                                               {QStringLiteral("comma"), QStringLiteral(",")},
                                               {QStringLiteral("excl"), QStringLiteral("!")},
                                               {QStringLiteral("num"), QStringLiteral("#")},
                                               {QStringLiteral("quest"), QStringLiteral("?")},
                                               {QStringLiteral("equals"), QStringLiteral("=")},
                                               {QStringLiteral("semi"), QStringLiteral(";")},
                                               {QStringLiteral("commat"), QStringLiteral("@")},
                                               {QStringLiteral("percnt"), QStringLiteral("%")},
                                               {QStringLiteral("plus"), QStringLiteral("+")},
                                               {QStringLiteral("lowbar"), QStringLiteral("_")}};
    QString out;
    out.reserve(s.size());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] != u'&') {
            out += s[i];
            continue;
        }
        qsizetype j = i + 1;
        if (j < n && s[j] == u'#') {
            const bool hex = j + 1 < n && (s[j + 1] == u'x' || s[j + 1] == u'X');
            j += hex ? 2 : 1;
            const qsizetype digits = j;
            char32_t value = 0;
            for (; j < n; ++j) {
                const int d = hexValue(s[j]);
                if (d < 0 || (!hex && d > 9))
                    break;
                value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + char32_t(d);
            }
            if (j == digits) {
                out += u'&';
                continue;
            }
            appendCodePoint(out, value);
            i = (j < n && s[j] == u';') ? j : j - 1;
            continue;
        }
        while (j < n && j - i <= 32 && (isLetter(s[j]) || s[j].isDigit()))
            ++j;
        const auto it = named.constFind(s.mid(i + 1, j - i - 1).toString());
        if (it == named.constEnd()) {
            out += u'&';
            continue;
        }
        out += *it;
        i = (j < n && s[j] == u';') ? j : j - 1;
    }
    return out;
}

enum class Address { Allowed, Unsafe, Dropped };

// Pictures may come from the pictures folder, relative names, the web or
// inside the text; links lead only to the web or to mail.
Address checkAddress(QStringView raw, bool picture) {
    // Browsers ignore spaces and control characters in a scheme.
    QString s;
    for (const QChar c : decodeReferences(raw))
        if (c.unicode() > 0x20)
            s += c.toLower();
    qsizetype end = s.size();
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i] == u'/' || s[i] == u'?' || s[i] == u'#' || s[i] == u'\\') {
            end = i;
            break;
        }
    const qsizetype colon = s.indexOf(u':');
    if (colon < 0 || colon > end)
        return picture ? Address::Allowed : Address::Dropped;
    const QString scheme = s.left(colon);
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return Address::Allowed;
    if (!picture && scheme == QLatin1String("mailto"))
        return Address::Allowed;
    if (picture && s.startsWith(QLatin1String("data:image/")))
        return Address::Allowed;
    // A drive letter: a file on the author's computer, which shows nothing.
    if (picture && colon == 1 && isLetter(s[0]) && colon + 1 < s.size() &&
        (s[colon + 1] == u'\\' || s[colon + 1] == u'/'))
        return Address::Allowed;
    return Address::Unsafe;
}

// A style that only sets colours, fonts and sizes: no functions beyond colour
// and arithmetic, which could load an address or compute script (url(),
// image-set(), expression()), nor imports and bindings. CSS escapes and
// comments are undone first, as the browser would.
bool styleIsSafe(QStringView raw) {
    const QString s = decodeReferences(raw);
    QString n;
    const qsizetype len = s.size();
    for (qsizetype i = 0; i < len; ++i) {
        const QChar c = s[i];
        if (c == u'/' && i + 1 < len && s[i + 1] == u'*') {
            const qsizetype close = s.indexOf(QLatin1String("*/"), i + 2);
            if (close < 0)
                break;
            i = close + 1;
            continue;
        }
        if (c == u'\\' && i + 1 < len) {
            qsizetype j = i + 1;
            char32_t value = 0;
            while (j < len && j - i <= 6 && hexValue(s[j]) >= 0)
                value = value * 16 + char32_t(hexValue(s[j++]));
            if (j == i + 1) {
                n += s[j].toLower();
                i = j;
            } else {
                QString one;
                appendCodePoint(one, value);
                n += one.toLower();
                i = (j < len && isSpace(s[j])) ? j : j - 1;
            }
            continue;
        }
        if (!isSpace(c) && c.unicode() >= 0x20)
            n += c.toLower();
    }
    if (n.contains(u'@') || n.contains(QLatin1String("behavior")) ||
        n.contains(QLatin1String("binding")) || n.contains(QLatin1String("script")))
        return false;
    static const QSet<QString> functions{QStringLiteral("rgb"), QStringLiteral("rgba"),
                                         QStringLiteral("hsl"), QStringLiteral("hsla"),
                                         QStringLiteral("calc")};
    for (qsizetype open = n.indexOf(u'('); open >= 0; open = n.indexOf(u'(', open + 1)) {
        qsizetype start = open;
        while (start > 0 && (isLetter(n[start - 1]) || n[start - 1] == u'-'))
            --start;
        if (!functions.contains(n.mid(start, open - start)))
            return false;
    }
    return true;
}

struct Attribute {
    QStringView name;
    QStringView value;
    QChar quote; // '"', '\'' or none
    bool hasValue = false;
};

struct Tag {
    qsizetype start = 0; // the '<'
    QStringView name;    // as written
    QVector<Attribute> attributes;
    qsizetype end = 0; // just after the '>'
};

class Cleaner {
public:
    Cleaner(const QString& in, bool plain) : m_in(in), m_n(in.size()), m_plain(plain) {}

    CleanedText run() {
        m_out.reserve(m_n);
        qsizetype pos = 0;
        while (pos < m_n) {
            const qsizetype lt = m_in.indexOf(u'<', pos);
            if (lt < 0) {
                m_out += QStringView(m_in).mid(pos);
                break;
            }
            m_out += QStringView(m_in).mid(pos, lt - pos);
            pos = markup(lt);
        }
        closeDownTo(0, false);
        return {m_out, m_removed};
    }

private:
    // Everything from the '<' at lt; returns where the text goes on.
    qsizetype markup(qsizetype lt) {
        const QStringView in(m_in);
        const QChar next = lt + 1 < m_n ? in[lt + 1] : QChar();
        // Comments and declarations go; one left open hides the rest of the
        // text, as in any browser.
        if (in.mid(lt).startsWith(QLatin1String("<!--")))
            return after(in.indexOf(QLatin1String("-->"), lt + 2), 3);
        if (in.mid(lt).startsWith(QLatin1String("<![CDATA[")))
            return after(in.indexOf(QLatin1String("]]>"), lt + 9), 3);
        if (next == u'!' || next == u'?')
            return after(in.indexOf(u'>', lt + 2), 1);
        if (next == u'/') {
            if (lt + 2 < m_n && isLetter(in[lt + 2])) {
                Tag tag;
                if (!readTag(lt, lt + 2, tag))
                    return restAsText(lt);
                endTag(tag);
                return tag.end;
            }
            return after(in.indexOf(u'>', lt + 2), 1);
        }
        if (!isLetter(next)) {
            m_out += m_plain ? QStringLiteral("<") : QStringLiteral("&lt;");
            return lt + 1;
        }
        Tag tag;
        if (!readTag(lt, lt + 1, tag))
            return restAsText(lt);
        return startTag(tag);
    }

    qsizetype after(qsizetype found, qsizetype length) const {
        return found < 0 ? m_n : found + length;
    }

    // A tag that never ends: the rest is text, shown rather than lost. Plain
    // text too may end up inside a page (a paper's name is its title), where
    // a '<' before a letter would start a tag: it becomes a full-width one.
    qsizetype restAsText(qsizetype lt) {
        if (!m_plain) {
            m_out += m_in.mid(lt).replace(u'<', QLatin1String("&lt;"));
            return m_n;
        }
        for (qsizetype i = lt; i < m_n; ++i) {
            const QChar next = i + 1 < m_n ? m_in[i + 1] : QChar();
            const bool opensTag = isLetter(next) || next == u'/' || next == u'!' || next == u'?';
            m_out += m_in[i] == u'<' && opensTag ? QChar(0xFF1C) : m_in[i];
        }
        return m_n;
    }

    // Splits a tag as the browser does; false when it has no end.
    bool readTag(qsizetype lt, qsizetype nameStart, Tag& tag) const {
        const QStringView in(m_in);
        tag.start = lt;
        qsizetype i = nameStart;
        while (i < m_n && !isSpace(in[i]) && in[i] != u'/' && in[i] != u'>')
            ++i;
        tag.name = in.mid(nameStart, i - nameStart);
        for (;;) {
            while (i < m_n && (isSpace(in[i]) || in[i] == u'/'))
                ++i;
            if (i >= m_n)
                return false;
            if (in[i] == u'>') {
                tag.end = i + 1;
                return true;
            }
            Attribute a;
            const qsizetype nameAt = i++; // a first '=' belongs to the name
            while (i < m_n && !isSpace(in[i]) && in[i] != u'/' && in[i] != u'>' && in[i] != u'=')
                ++i;
            a.name = in.mid(nameAt, i - nameAt);
            while (i < m_n && isSpace(in[i]))
                ++i;
            if (i < m_n && in[i] == u'=') {
                ++i;
                while (i < m_n && isSpace(in[i]))
                    ++i;
                if (i >= m_n)
                    return false;
                a.hasValue = true;
                if (in[i] == u'"' || in[i] == u'\'') {
                    a.quote = in[i];
                    const qsizetype close = in.indexOf(a.quote, i + 1);
                    if (close < 0)
                        return false;
                    a.value = in.mid(i + 1, close - i - 1);
                    i = close + 1;
                } else {
                    const qsizetype v = i;
                    while (i < m_n && !isSpace(in[i]) && in[i] != u'>')
                        ++i;
                    a.value = in.mid(v, i - v);
                }
            }
            tag.attributes << a;
        }
    }

    static bool handler(const QString& attribute) {
        return attribute.startsWith(QLatin1String("on"));
    }

    qsizetype startTag(const Tag& tag) {
        const QString name = tag.name.toString().toLower();
        const Kind kind = kindOf(name);
        switch (kind) {
        case Kind::UnsafeContent:
            ++m_removed;
            return skipContent(name, tag.end);
        case Kind::Unsafe:
            ++m_removed;
            return tag.end;
        case Kind::Dropped:
            countHandlers(tag);
            return tag.end;
        case Kind::Kept:
        case Kind::Void:
            break;
        }
        // The page closes an open paragraph at the start of a block, and an
        // open item at the next item; so do we, or the closing tags added at
        // the end would make empty ones.
        static const QSet<QString> closesParagraph{
            QStringLiteral("p"),     QStringLiteral("div"),        QStringLiteral("ul"),
            QStringLiteral("ol"),    QStringLiteral("dl"),         QStringLiteral("table"),
            QStringLiteral("h1"),    QStringLiteral("h2"),         QStringLiteral("h3"),
            QStringLiteral("h4"),    QStringLiteral("h5"),         QStringLiteral("h6"),
            QStringLiteral("pre"),   QStringLiteral("blockquote"), QStringLiteral("hr"),
            QStringLiteral("center")};
        if (!m_open.isEmpty() &&
            ((m_open.last() == QLatin1String("p") && closesParagraph.contains(name)) ||
             (m_open.last() == QLatin1String("li") && name == QLatin1String("li"))))
            m_open.removeLast();
        // Outside a table of its own a cell or row would end the page's cell
        // around the text, and a new one would begin.
        static const QSet<QString> tableParts{
            QStringLiteral("caption"), QStringLiteral("col"),   QStringLiteral("colgroup"),
            QStringLiteral("tbody"),   QStringLiteral("td"),    QStringLiteral("tfoot"),
            QStringLiteral("th"),      QStringLiteral("thead"), QStringLiteral("tr")};
        const bool isVoid = kind == Kind::Void;
        if ((!isVoid && m_open.size() >= kMostOpen) ||
            (tableParts.contains(name) && !m_open.contains(QLatin1String("table")))) {
            countHandlers(tag);
            return tag.end;
        }
        QString rebuilt = QStringLiteral("<");
        rebuilt += tag.name;
        bool allKept = true;
        for (const Attribute& a : tag.attributes) {
            const QString attribute = a.name.toString().toLower();
            bool keep = false;
            if (handler(attribute)) {
                ++m_removed;
            } else if (attribute == QLatin1String("style")) {
                keep = styleIsSafe(a.value);
                m_removed += keep ? 0 : 1;
            } else if (attribute == QLatin1String("src") || attribute == QLatin1String("href")) {
                const bool picture = attribute == QLatin1String("src");
                if (name == (picture ? QLatin1String("img") : QLatin1String("a"))) {
                    const Address address = checkAddress(a.value, picture);
                    keep = address == Address::Allowed;
                    m_removed += address == Address::Unsafe ? 1 : 0;
                } else {
                    m_removed += checkAddress(a.value, picture) == Address::Unsafe ? 1 : 0;
                }
            } else {
                keep = plainAttribute(attribute);
            }
            if (!keep) {
                allKept = false;
                continue;
            }
            rebuilt += QLatin1Char(' ');
            rebuilt += a.name;
            if (!a.hasValue)
                continue;
            if (a.quote.isNull())
                rebuilt += QStringLiteral("=\"%1\"").arg(
                    a.value.toString().replace(u'"', QLatin1String("&quot;")));
            else {
                rebuilt += QLatin1Char('=');
                rebuilt += a.quote;
                rebuilt += a.value;
                rebuilt += a.quote;
            }
        }
        if (!m_plain)
            m_out +=
                allKept ? m_in.mid(tag.start, tag.end - tag.start) : rebuilt + QLatin1Char('>');
        if (!isVoid)
            m_open << name;
        return tag.end;
    }

    void countHandlers(const Tag& tag) {
        for (const Attribute& a : tag.attributes)
            m_removed += handler(a.name.toString().toLower()) ? 1 : 0;
    }

    // Past the end tag of a raw element; a missing one takes the rest, as in
    // the browser.
    qsizetype skipContent(const QString& name, qsizetype from) const {
        const QStringView in(m_in);
        for (qsizetype at = in.indexOf(QLatin1String("</"), from); at >= 0;
             at = in.indexOf(QLatin1String("</"), at + 2)) {
            const qsizetype behind = at + 2 + name.size();
            if (in.mid(at + 2, name.size()).compare(name, Qt::CaseInsensitive) != 0)
                continue;
            if (behind < m_n && !isSpace(in[behind]) && in[behind] != u'/' && in[behind] != u'>')
                continue;
            return after(in.indexOf(u'>', behind), 1);
        }
        return m_n;
    }

    // Closes the element if it is open here, with those left open inside it;
    // an end tag of nothing open goes.
    void endTag(const Tag& tag) {
        const QString name = tag.name.toString().toLower();
        const qsizetype at = m_open.lastIndexOf(name);
        if (at < 0)
            return;
        closeDownTo(at + 1, true);
        m_open.removeLast();
        if (!m_plain)
            m_out += QStringLiteral("</%1>").arg(tag.name);
    }

    // Closes the elements open beyond the first `depth`, innermost first.
    // Before an end tag, those whose end tag may be left out close without
    // one, as the writer meant; formatting is closed so that it does not
    // reach past its block.
    void closeDownTo(qsizetype depth, bool beforeEndTag) {
        static const QSet<QString> endTagOptional{
            QStringLiteral("colgroup"), QStringLiteral("dd"),    QStringLiteral("dt"),
            QStringLiteral("li"),       QStringLiteral("p"),     QStringLiteral("tbody"),
            QStringLiteral("td"),       QStringLiteral("tfoot"), QStringLiteral("th"),
            QStringLiteral("thead"),    QStringLiteral("tr")};
        while (m_open.size() > depth) {
            const QString name = m_open.takeLast();
            if (!m_plain && !(beforeEndTag && endTagOptional.contains(name)))
                m_out += QStringLiteral("</%1>").arg(name);
        }
    }

    const QString& m_in;
    const qsizetype m_n;
    const bool m_plain;
    QString m_out;
    int m_removed = 0;
    QStringList m_open; // the kept elements open here, innermost last
};

} // namespace

CleanedText cleanHtml(const QString& html) {
    return Cleaner(html, false).run();
}

CleanedText plainText(const QString& text) {
    return Cleaner(text, true).run();
}

} // namespace tess::exchange
