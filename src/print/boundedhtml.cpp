#include "print/boundedhtml.h"

#include <QHash>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace tess::print {

namespace {

bool isOneOf(QStringView name, std::initializer_list<QStringView> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that hold nothing and are never closed.
bool isVoid(QStringView name) {
    return isOneOf(name, {u"area", u"base", u"br", u"col", u"embed", u"hr", u"img", u"input",
                          u"link", u"meta", u"param", u"source", u"track", u"wbr"});
}

// Elements whose content is never laid out. Their content is still read as
// tags here, whatever the text layout makes of it: more tags counted than it
// sees only flattens sooner.
bool isRawText(QStringView name) {
    return isOneOf(name, {u"script", u"style", u"title", u"textarea", u"xmp"});
}

bool isTablePart(QStringView name) {
    return isOneOf(name,
                   {u"tr", u"td", u"th", u"tbody", u"thead", u"tfoot", u"caption", u"colgroup"});
}

// Elements that end an open paragraph, as in any browser: "<p>a<div>b"
// holds the paragraph and the division side by side, not one in the other.
bool closesParagraph(QStringView name) {
    return isOneOf(name, {u"p",        u"div",        u"ul",     u"ol",     u"dl",      u"table",
                          u"h1",       u"h2",         u"h3",     u"h4",     u"h5",      u"h6",
                          u"pre",      u"blockquote", u"hr",     u"center", u"address", u"section",
                          u"article",  u"aside",      u"header", u"footer", u"nav",     u"form",
                          u"fieldset", u"li",         u"dd",     u"dt"});
}

bool isNameStart(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isNameChar(QChar c) {
    return isNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u':' || c == u'_';
}

// Where the tag whose name ends at from ends (after its '>', or the text's
// end): a '>' within a quoted attribute value does not end it.
qsizetype tagEnd(const QString& html, qsizetype from) {
    const qsizetype n = html.size();
    qsizetype k = from;
    while (k < n && html.at(k) != u'>') {
        if (html.at(k) != u'=') {
            ++k;
            continue;
        }
        ++k;
        while (k < n && html.at(k).isSpace())
            ++k;
        if (k < n && (html.at(k) == u'"' || html.at(k) == u'\'')) {
            const qsizetype close = html.indexOf(html.at(k), k + 1);
            k = close < 0 ? n : close + 1;
        }
    }
    return k < n ? k + 1 : n;
}

// The elements open where the reading has come to, as the text layout would
// nest them, and those left out.
class OpenElements {
public:
    int tables() const { return m_tables + m_droppedTables; }
    int keptTables() const { return m_tables; }
    bool full() const { return m_open.size() >= std::size_t(kMaxElementDepth); }

    // The ends a start tag implies: a new item ends the item before it, a
    // new cell the cell before it, a block the paragraph it would be in.
    void implyEndsBefore(QStringView name) {
        if (name == u"li")
            closeWithin({u"li"}, {u"ul", u"ol", u"table", u"td", u"th"});
        else if (name == u"dt" || name == u"dd")
            closeWithin({u"dt", u"dd"}, {u"dl", u"table", u"td", u"th"});
        else if (name == u"td" || name == u"th")
            closeWithin({u"td", u"th"}, {u"table", u"tr"});
        else if (name == u"tr")
            closeWithin({u"tr"}, {u"table"});
        else if (name == u"tbody" || name == u"thead" || name == u"tfoot")
            closeWithin({u"tbody", u"thead", u"tfoot"}, {u"table"});
        else if (name == u"option")
            closeWithin({u"option"}, {u"select"});
        if (closesParagraph(name))
            closeWithin({u"p"}, {u"table", u"td", u"th", u"caption", u"button", u"object"});
    }

    void open(const QString& name) {
        m_open.push_back(name);
        if (name == u"table")
            ++m_tables;
        if (isRawText(name))
            ++m_raw;
    }
    bool inRawText() const { return m_raw > 0; }
    // True for an element left out earlier: its end tag is left out too.
    bool closeDropped(const QString& name) {
        if (name == u"table" && m_droppedTables > 0) {
            --m_droppedTables;
            return true;
        }
        if (m_droppedTables > 0 && isTablePart(name))
            return true; // the parts of a table left out
        const auto it = m_dropped.find(name);
        if (it == m_dropped.end() || *it == 0)
            return false;
        --*it;
        return true;
    }
    void drop(const QString& name) {
        if (name == u"table")
            ++m_droppedTables;
        else
            ++m_dropped[name];
    }
    bool inDroppedTable() const { return m_droppedTables > 0; }
    // An end tag closes its element and whatever is open within it, but no
    // end tag other than a table's reaches out of a table: the count of
    // tables is then never less than the text layout's.
    void close(const QString& name) {
        if (name == u"table")
            closeWithin({u"table"}, {});
        else if (isTablePart(name))
            closeWithin({name}, {u"table"});
        else
            closeWithin({name}, {u"table", u"td", u"th"});
    }

private:
    void closeWithin(std::initializer_list<QStringView> names,
                     std::initializer_list<QStringView> bounds) {
        for (std::size_t i = m_open.size(); i-- > 0;) {
            const QString& at = m_open[i];
            if (isOneOf(at, names)) {
                for (std::size_t j = i; j < m_open.size(); ++j) {
                    if (m_open[j] == u"table")
                        --m_tables;
                    if (isRawText(m_open[j]))
                        --m_raw;
                }
                m_open.resize(i);
                return;
            }
            if (isOneOf(at, bounds))
                return;
        }
    }

    std::vector<QString> m_open; // never more than kMaxElementDepth
    int m_tables = 0;
    int m_raw = 0; // styles, scripts and the like open
    QHash<QString, int> m_dropped;
    int m_droppedTables = 0;
};

} // namespace

BoundedHtml boundHtml(const QString& html) {
    BoundedHtml bounded;
    QString out;
    out.reserve(html.size());
    OpenElements open;
    const qsizetype n = html.size();
    // Text in a table is laid out again for each table around it.
    const auto weight = [&open] {
        return qint64(1) << std::min(open.keptTables(), kMaxTableDepth);
    };
    qsizetype i = 0;
    while (i < n) {
        if (html.at(i) != u'<') {
            qsizetype next = html.indexOf(u'<', i);
            if (next < 0)
                next = n;
            out.append(QStringView(html).mid(i, next - i));
            if (!open.inRawText())
                bounded.cost += (next - i) * weight();
            i = next;
            continue;
        }
        const QStringView rest = QStringView(html).mid(i);
        if (rest.startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), i + 4);
            const qsizetype to = end < 0 ? n : end + 3;
            out.append(QStringView(html).mid(i, to - i));
            i = to;
            continue;
        }
        const bool closing = rest.size() > 1 && rest.at(1) == u'/';
        const qsizetype nameStart = i + (closing ? 2 : 1);
        if (nameStart >= n || !isNameStart(html.at(nameStart))) {
            // "<!DOCTYPE>", "<?xml?>": copied; a lone "<" is text.
            const bool declaration =
                !closing && rest.size() > 1 && (rest.at(1) == u'!' || rest.at(1) == u'?');
            const qsizetype to = declaration ? tagEnd(html, i + 2) : i + 1;
            out.append(QStringView(html).mid(i, to - i));
            bounded.cost += (to - i) * weight();
            i = to;
            continue;
        }
        qsizetype nameEnd = nameStart;
        while (nameEnd < n && isNameChar(html.at(nameEnd)))
            ++nameEnd;
        const QString name = html.mid(nameStart, nameEnd - nameStart).toLower();
        const qsizetype end = tagEnd(html, nameEnd);
        const QStringView tag = QStringView(html).mid(i, end - i);
        i = end;
        // Only the tags kept cost anything.
        const auto keep = [&] {
            out.append(tag);
            bounded.cost += weight();
        };

        if (closing) {
            if (open.closeDropped(name)) {
                bounded.flattened = true;
                continue;
            }
            keep();
            open.close(name);
            continue;
        }
        if (isVoid(name) || tag.endsWith(u"/>")) {
            keep();
            continue;
        }
        if (open.inDroppedTable() && isTablePart(name)) {
            // A table too deep keeps its words, its cells apart, in one
            // paragraph: a line for each would make pages of a hostile text.
            bounded.flattened = true;
            if (name == u"td" || name == u"th")
                out.append(QLatin1Char(' '));
            continue;
        }
        open.implyEndsBefore(name);
        if (open.full() || (name == u"table" && open.tables() >= kMaxTableDepth)) {
            open.drop(name);
            bounded.flattened = true;
            continue;
        }
        open.open(name);
        keep();
    }
    bounded.html = bounded.flattened ? out : html;
    return bounded;
}

} // namespace tess::print
