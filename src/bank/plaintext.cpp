#include "bank/plaintext.h"

#include <QRegularExpression>

namespace tess {

QString plainTextOf(const QString& html) {
    // Most texts are plain: the expressions below cost more than the whole search.
    if (!html.contains(QLatin1Char('<')) && !html.contains(QLatin1Char('&')))
        return html.simplified();
    // Tags that break a line part words; the others (bold, colour, ...) sit inside them.
    static const QRegularExpression breaking(
        QStringLiteral(R"re(<\/?(br|p|div|li|ul|ol|td|th|tr|table|h[1-6]|img|hr)\b[^>]*>)re"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression markup(QStringLiteral("<[^>]*>"));
    static const QRegularExpression numeric(QStringLiteral("&#(x[0-9a-fA-F]+|[0-9]+);"));
    QString text = html;
    text.replace(breaking, QStringLiteral(" "));
    text.replace(markup, QString());
    QString decoded;
    qsizetype done = 0;
    auto it = numeric.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString digits = m.captured(1);
        bool ok = false;
        const uint code = digits.startsWith(QLatin1Char('x')) ? digits.mid(1).toUInt(&ok, 16)
                                                              : digits.toUInt(&ok, 10);
        decoded += QStringView(text).mid(done, m.capturedStart() - done);
        if (ok && code > 0 && code <= 0x10FFFF)
            decoded += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        done = m.capturedEnd();
    }
    decoded += QStringView(text).mid(done);
    decoded.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "), Qt::CaseInsensitive);
    decoded.replace(QStringLiteral("&lt;"), QStringLiteral("<"), Qt::CaseInsensitive);
    decoded.replace(QStringLiteral("&gt;"), QStringLiteral(">"), Qt::CaseInsensitive);
    decoded.replace(QStringLiteral("&quot;"), QStringLiteral("\""), Qt::CaseInsensitive);
    decoded.replace(QStringLiteral("&apos;"), QStringLiteral("'"), Qt::CaseInsensitive);
    decoded.replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive);
    return decoded.simplified();
}

} // namespace tess
