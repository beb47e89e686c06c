#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the readers of other question tools' text files share: the bytes made
// into text, the file's name made into a paper's, plain text made into HTML.
namespace tess::exchange {

// The file's text: UTF-8 (a leading BOM dropped) when the bytes are valid
// UTF-8, otherwise GB18030, which teachers' older files are written in. Throws
// ExchangeError naming the first line that is neither.
QString decodeText(const QByteArray& bytes);

// The lines of a text, whatever line ends it uses ("\r\n", "\r" or "\n").
QStringList splitLines(const QString& text);

// The file's name without folder and extension ("/a/b/期中.gift" gives "期中");
// the folder ends at the last "/" or "\".
QString fileBaseName(const QString& fileName);

// Plain text as the page shows it: & < > " escaped, each line trimmed, lines
// joined by <br>, the whole trimmed.
QString plainToHtml(const QString& text);

// "第 N 行: message"
QString atLine(int line, const QString& message);

// A category path's parts as the teacher named them: "$course$/top/数学/期中"
// -> {"数学", "期中"}; the context and "top" are the platform's own, and "//"
// is a "/" inside a name.
QStringList categoryParts(const QString& path);

} // namespace tess::exchange
