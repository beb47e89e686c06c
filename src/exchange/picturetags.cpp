#include "exchange/picturetags.h"

#include "bank/pictures.h"

#include <QUrl>

namespace tess::exchange {

namespace {

bool isHtmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// The attribute's value as a browser reads it: character references decoded.
QString attributeValue(QStringView raw) {
    if (!raw.contains(u'&'))
        return raw.toString();
    static const struct {
        QStringView name;
        QChar c;
    } named[] = {
        {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''}};
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        if (raw[i] != u'&') {
            out += raw[i++];
            continue;
        }
        bool taken = false;
        for (const auto& n : named) {
            if (raw.sliced(i).startsWith(n.name, Qt::CaseInsensitive)) {
                out += n.c;
                i += n.name.size();
                taken = true;
                break;
            }
        }
        const qsizetype semicolon = raw.indexOf(u';', i);
        if (!taken && i + 2 < raw.size() && raw[i + 1] == u'#' && semicolon > i + 2 &&
            semicolon - i <= 10) {
            QStringView digits = raw.sliced(i + 2, semicolon - i - 2);
            bool ok = false;
            const bool hex = digits.startsWith(u'x') || digits.startsWith(u'X');
            const uint code = hex ? digits.sliced(1).toUInt(&ok, 16) : digits.toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                out += QString::fromUcs4(&c, 1);
                i = semicolon + 1;
                taken = true;
            }
        }
        if (!taken)
            out += raw[i++];
    }
    return out;
}

PictureReference classify(const QString& src) {
    PictureReference ref;
    ref.src = src;
    QString url = attributeValue(src).trimmed();
    const auto starts = [&url](const char* prefix) {
        return url.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
    };
    if (starts("data:")) {
        ref.source = PictureSource::Embedded;
        return ref;
    }
    if (starts("http:") || starts("https:") || starts("ftp:") || starts("//")) {
        ref.source = PictureSource::Remote;
        return ref;
    }
    if (starts("./") || starts(".\\"))
        url.remove(0, 2);
    ref.source = PictureSource::Elsewhere;
    if (!starts("images/") && !starts("images\\"))
        return ref;
    // A src is a URL: "my%20pic.png" is the file "my pic.png".
    const QString name = QUrl::fromPercentEncoding(url.mid(7).toUtf8());
    if (plainPictureName(name) && usablePictureName(name) == name) {
        ref.source = PictureSource::Folder;
        ref.name = name;
    }
    return ref;
}

} // namespace

QString programPictureTags(const QString& html, QVector<PictureReference>* found) {
    const qsizetype n = html.size();
    QString out;
    qsizetype done = 0; // html[0, done) is in out
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = html.indexOf(QLatin1String("<img"), from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        qsizetype i = at + 4;
        if (i < n && !isHtmlSpace(html[i]) && html[i] != u'/' && html[i] != u'>') {
            from = i; // <image>, <imgx>: not a picture
            continue;
        }
        // The attributes, as a browser splits them, up to the tag's closing >.
        qsizetype srcStart = -1; // from the blank before src=
        qsizetype srcEnd = -1;
        QStringView srcValue;
        bool closed = false;
        while (i < n) {
            const qsizetype blank = i;
            while (i < n && (isHtmlSpace(html[i]) || html[i] == u'/'))
                ++i;
            if (i >= n)
                break;
            if (html[i] == u'>') {
                closed = true;
                ++i;
                break;
            }
            const qsizetype nameStart = i;
            ++i; // a name may start with "="
            while (i < n && !isHtmlSpace(html[i]) && html[i] != u'=' && html[i] != u'>' &&
                   html[i] != u'/')
                ++i;
            const QStringView name = QStringView(html).sliced(nameStart, i - nameStart);
            qsizetype j = i;
            while (j < n && isHtmlSpace(html[j]))
                ++j;
            if (j >= n || html[j] != u'=')
                continue; // an attribute without a value
            ++j;
            while (j < n && isHtmlSpace(html[j]))
                ++j;
            QStringView value;
            if (j < n && (html[j] == u'"' || html[j] == u'\'')) {
                const qsizetype close = html.indexOf(html[j], j + 1);
                if (close < 0) {
                    i = n;
                    break;
                }
                value = QStringView(html).sliced(j + 1, close - j - 1);
                i = close + 1;
            } else {
                const qsizetype start = j;
                while (j < n && !isHtmlSpace(html[j]) && html[j] != u'>')
                    ++j;
                value = QStringView(html).sliced(start, j - start);
                i = j;
            }
            // A browser takes the first src and ignores any other.
            if (srcStart < 0 && name.compare(u"src", Qt::CaseInsensitive) == 0) {
                srcStart = blank;
                srcEnd = i;
                srcValue = value;
            }
        }
        if (!closed)
            break;
        const qsizetype tagEnd = i;
        from = tagEnd;
        if (srcStart < 0)
            continue;
        const PictureReference ref = classify(srcValue.toString());
        if (found)
            found->append(ref);
        if (ref.source != PictureSource::Folder)
            continue;
        out += QStringView(html).sliced(done, at - done);
        out += QStringLiteral("<IMG SRC=\"images\\") + ref.name + QLatin1Char('"');
        out += QStringView(html).sliced(at + 4, srcStart - at - 4);
        out += QStringView(html).sliced(srcEnd, tagEnd - srcEnd);
        done = tagEnd;
    }
    if (done == 0)
        return html;
    out += QStringView(html).sliced(done);
    return out;
}

} // namespace tess::exchange
