#include "generate/pagemarkup.h"

#include <QHash>

namespace tess {

namespace {

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isOneOf(QStringView name, std::initializer_list<QStringView> names) {
    for (QStringView n : names)
        if (name == n)
            return true;
    return false;
}

// Elements whose content the parser takes as text up to their end tag: left
// open, they take the rest of the page with them.
bool isRawText(QStringView name) {
    return isOneOf(name, {u"script", u"style", u"textarea", u"title", u"xmp", u"iframe", u"noembed",
                          u"noframes", u"noscript"});
}

bool isTablePart(QStringView name) {
    return isOneOf(
        name, {u"td", u"th", u"tr", u"tbody", u"thead", u"tfoot", u"caption", u"col", u"colgroup"});
}

int digitValue(QChar c, bool hex) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (hex && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (hex && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A name= or id= value as the browser reads it: character references that
// spell the letters of the page's names are resolved.
QString decodedName(QStringView value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        if (value.at(i) != u'&') {
            out += value.at(i++);
            continue;
        }
        const QStringView rest = value.sliced(i);
        if (rest.startsWith(u"&lowbar;") || rest.startsWith(u"&UnderBar;")) {
            out += u'_';
            i += rest.indexOf(u';') + 1;
            continue;
        }
        if (rest.size() > 2 && rest.at(1) == u'#') {
            const bool hex = rest.at(2) == u'x' || rest.at(2) == u'X';
            const qsizetype first = hex ? 3 : 2;
            qsizetype j = first;
            uint code = 0;
            for (int digit;
                 j < rest.size() && j < first + 8 && (digit = digitValue(rest.at(j), hex)) >= 0;
                 ++j)
                code = code * (hex ? 16 : 10) + uint(digit);
            if (j > first && code > 0 && code < 0x80) {
                out += QChar(char16_t(code));
                i += j + (j < rest.size() && rest.at(j) == u';' ? 1 : 0);
                continue;
            }
        }
        out += value.at(i++);
    }
    return out;
}

// Names by which the page finds its form, its controls and its submit
// handler. The script's own objects (Paper, Qst_, Chc_) are assigned by the
// script and so shadow any element of that name.
bool clashesWithPage(const QString& name) {
    return name.startsWith(u"Sel_") || name == u"PaperForm" || name == u"OnJudge";
}

class Scanner {
public:
    explicit Scanner(QStringView text) : t(text), n(text.size()) {}

    MarkupFinding run() {
        while (i < n && !stopped) {
            const qsizetype lt = t.indexOf(u'<', i);
            if (lt < 0)
                break;
            i = lt;
            markup();
        }
        if (!stopped && tableDepth > 0)
            note(MarkupHazard::TableParts, QStringLiteral("<table>"));
        return worst;
    }

private:
    void note(MarkupHazard hazard, const QString& detail) {
        if (hazard > worst.hazard)
            worst = {hazard, detail};
    }
    // Nothing after this point reaches the browser as this scan reads it.
    void fatal(MarkupHazard hazard, const QString& detail) {
        note(hazard, detail);
        stopped = true;
    }
    bool at(qsizetype j, QStringView s, Qt::CaseSensitivity cs = Qt::CaseSensitive) const {
        return t.sliced(qMin(j, n)).startsWith(s, cs);
    }
    // Where a tag name ends (ends the name: blank, "/" or ">").
    bool endsName(qsizetype j) const {
        return j < n && (isSpace(t.at(j)) || t.at(j) == u'/' || t.at(j) == u'>');
    }
    // The end tag </name that ends raw text, from j on; -1 when there is none.
    qsizetype findEndTag(qsizetype j, QStringView name) const {
        for (;;) {
            j = t.indexOf(u"</", j);
            if (j < 0)
                return -1;
            if (at(j + 2, name, Qt::CaseInsensitive) && endsName(j + 2 + name.size()))
                return j;
            j += 2;
        }
    }
    // findEndTag() from the scan's place on. Inside <svg> the scan goes on
    // through the content, so the same end tag is asked for again and again:
    // each is looked for once, as long as it lies ahead.
    qsizetype endTagAfter(const QString& name) {
        auto known = endTagsAhead.find(name);
        if (known == endTagsAhead.end() || (known.value() >= 0 && known.value() < i))
            known = endTagsAhead.insert(name, findEndTag(i, name));
        return known.value();
    }
    qsizetype cdataEnd() {
        if (cdataEndAhead == -2 || (cdataEndAhead >= 0 && cdataEndAhead < i))
            cdataEndAhead = t.indexOf(u"]]>", i);
        return cdataEndAhead;
    }
    // The end of a script's content: "<!--" and "<script" inside it can
    // carry it past the first "</script>".
    qsizetype scriptEnd(qsizetype j) const {
        enum { Data, Escaped, DoubleEscaped } state = Data;
        for (; j < n; ++j) {
            if (t.at(j) != u'<' && t.at(j) != u'-')
                continue;
            const bool ends = at(j, u"</script", Qt::CaseInsensitive) && endsName(j + 8);
            if (state == Data) {
                if (at(j, u"<!--")) {
                    state = Escaped;
                    ++j; // the dashes may also end it: <!-->
                } else if (ends) {
                    return j;
                }
            } else if (at(j, u"-->")) {
                state = Data;
                j += 2;
            } else if (state == Escaped) {
                if (ends)
                    return j;
                if (at(j, u"<script", Qt::CaseInsensitive) && endsName(j + 7))
                    state = DoubleEscaped;
            } else if (ends) {
                state = Escaped;
            }
        }
        return -1;
    }
    void skipTo(QChar c) {
        const qsizetype j = t.indexOf(c, i);
        i = j < 0 ? n : j + 1;
    }
    void markup() {
        if (at(i, u"<!--")) {
            comment();
        } else if (at(i, u"<!") || at(i, u"<?")) {
            // Without its end a foreign CDATA section runs on through the page.
            if (foreign && at(i, u"<![CDATA[") && cdataEnd() < 0)
                return fatal(MarkupHazard::UnclosedComment, QStringLiteral("<![CDATA["));
            skipTo(u'>'); // read as a comment up to ">" by an HTML parser
        } else if (at(i, u"</") && i + 2 < n && isAsciiLetter(t.at(i + 2))) {
            i += 2;
            tag(false);
        } else if (at(i, u"</")) {
            i += 2;
            skipTo(u'>');
        } else if (i + 1 < n && isAsciiLetter(t.at(i + 1))) {
            ++i;
            tag(true);
        } else {
            ++i;
        }
    }
    void comment() {
        qsizetype j = i + 4;
        if (at(j, u">") || at(j, u"->")) {
            i = j + (at(j, u">") ? 1 : 2);
            return;
        }
        for (;;) {
            j = t.indexOf(u"--", j);
            if (j < 0)
                return fatal(MarkupHazard::UnclosedComment, QStringLiteral("<!--"));
            if (at(j + 2, u">") || at(j + 2, u"!>")) {
                i = j + (at(j + 2, u">") ? 3 : 4);
                return;
            }
            ++j;
        }
    }
    void tag(bool start) {
        const qsizetype from = i;
        while (i < n && !endsName(i))
            ++i;
        if (i >= n)
            return; // the name runs on into the page's own tag: no known element
        const QString name = t.sliced(from, i - from).toString().toLower();
        bool clash = false;
        QString clashing;
        for (;;) {
            while (i < n && (isSpace(t.at(i)) || t.at(i) == u'/'))
                ++i;
            if (i >= n)
                break; // the page's next ">" ends the tag
            if (t.at(i) == u'>') {
                ++i;
                break;
            }
            const qsizetype nameFrom = i++;
            while (i < n && !endsName(i) && t.at(i) != u'=')
                ++i;
            const QStringView attribute = t.sliced(nameFrom, i - nameFrom);
            while (i < n && isSpace(t.at(i)))
                ++i;
            if (i >= n || t.at(i) != u'=')
                continue;
            ++i;
            while (i < n && isSpace(t.at(i)))
                ++i;
            QStringView value;
            if (i < n && (t.at(i) == u'"' || t.at(i) == u'\'')) {
                const qsizetype close = t.indexOf(t.at(i), i + 1);
                if (close < 0)
                    return fatal(MarkupHazard::UnclosedQuote, QLatin1Char('<') + name + u'>');
                value = t.sliced(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const qsizetype valueFrom = i;
                while (i < n && !isSpace(t.at(i)) && t.at(i) != u'>')
                    ++i;
                value = t.sliced(valueFrom, i - valueFrom);
            }
            if (start && !clash &&
                (attribute.compare(u"name", Qt::CaseInsensitive) == 0 ||
                 attribute.compare(u"id", Qt::CaseInsensitive) == 0)) {
                clashing = decodedName(value);
                clash = clashesWithPage(clashing);
            }
        }
        if (clash)
            note(MarkupHazard::NameClash, clashing);
        if (start)
            opening(name);
        else
            closing(name);
    }
    void opening(const QString& name) {
        const QString shown = QLatin1Char('<') + name + u'>';
        if (name == u"form")
            return note(MarkupHazard::FormTag, shown);
        if (name == u"plaintext")
            return fatal(MarkupHazard::UnclosedRawText, shown);
        if (name == u"input" || name == u"select" || name == u"button" || name == u"textarea")
            note(MarkupHazard::Control, shown);
        if (name == u"script")
            note(MarkupHazard::Script, shown);
        if (name == u"table")
            ++tableDepth;
        else if (tableDepth == 0 && isTablePart(name))
            note(MarkupHazard::TableParts, shown);
        if (name == u"svg" || name == u"math")
            foreign = true;
        // Inside <svg> and <math> these hold markup; the scan reads it, and
        // still wants the end tag that an HTML parser would wait for.
        if (isRawText(name) || name == u"template") {
            const qsizetype end = name == u"script" && !foreign ? scriptEnd(i) : endTagAfter(name);
            if (end < 0)
                return fatal(MarkupHazard::UnclosedRawText, shown);
            if (!foreign && name != u"template")
                i = end;
        }
    }
    void closing(const QString& name) {
        if (name == u"form")
            return note(MarkupHazard::FormEnd, QStringLiteral("</form>"));
        if (name == u"svg" || name == u"math")
            foreign = false;
        if (name == u"table") {
            if (tableDepth == 0)
                note(MarkupHazard::TableParts, QStringLiteral("</table>"));
            else
                --tableDepth;
        } else if (tableDepth == 0 && isTablePart(name)) {
            note(MarkupHazard::TableParts, QStringLiteral("</") + name + u'>');
        }
    }

    const QStringView t; // the text, its length and the scan's place in it
    const qsizetype n;
    qsizetype i = 0;
    int tableDepth = 0;
    bool foreign = false;
    bool stopped = false;
    MarkupFinding worst;
    QHash<QString, qsizetype> endTagsAhead; // -1: none ahead
    qsizetype cdataEndAhead = -2;           // -2: not looked for yet
};

} // namespace

MarkupFinding scanPageMarkup(QStringView text) {
    return Scanner(text).run();
}

} // namespace tess
