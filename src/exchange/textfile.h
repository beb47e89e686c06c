#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// What the readers of other question tools' text files share: the bytes made
// into text, the file's name made into a paper's, plain text made into HTML.
namespace tess::exchange {

// The file's text: UTF-8 (a leading BOM dropped) when the bytes are valid
// UTF-8, otherwise GB18030, which teachers' older files are written in. Throws
// ExchangeError naming the first line that is neither, or the first line with
// a NUL character.
QString decodeText(const QByteArray& bytes);

// Throws ExchangeError naming the first line with a NUL, which no teacher
// types: most often the file is UTF-16, whose every English letter has a zero
// byte beside it. For bytes of UTF-8, GB18030 or another encoding that has no
// zero byte inside a character.
void refuseNul(QByteArrayView bytes);
// The same for a text decoded already.
void refuseNul(QStringView text);

// The line (from 1) of the first bytes that are not UTF-8; 0 when all are.
// Checked without making the text.
int firstNonUtf8Line(QByteArrayView bytes);

// The lines of a text one after another, whatever line ends it uses ("\r\n",
// "\r" or "\n"), as views into the text: a file of millions of short lines
// costs no string for each.
class Lines {
public:
    explicit Lines(QStringView text) : m_text(text) {}
    // The next line into `line`; false after the last.
    bool next(QStringView& line);

private:
    QStringView m_text;
    qsizetype m_pos = 0;
    bool m_done = false;
};

// The file's name without folder and extension ("/a/b/期中.gift" gives "期中");
// the folder ends at the last "/" or "\".
QString fileBaseName(const QString& fileName);

// Plain text as the page shows it: & < > " escaped, each line trimmed, lines
// joined by <br>, the whole trimmed.
QString plainToHtml(const QString& text);

// "第 N 行: message"
QString atLine(int line, const QString& message);

// Counts what a reader takes from a file (questions, those it leaves out,
// choices, categories, pictures) and refuses the file once they pass a limit.
// A large bank of 5,000 questions with four choices each is 25,000; each of
// them costs memory many times the bytes that name it, so a file within the
// size limit but of millions of tiny questions would need gigabytes.
class RecordCount {
public:
    static constexpr qsizetype kMax = 100000;
    // One more, at the given line of the file; throws ExchangeError past kMax.
    void add(int line);

private:
    qsizetype m_count = 0;
};

// A category path's parts as the teacher named them: "$course$/top/数学/期中"
// -> {"数学", "期中"}; the context and "top" are the platform's own, and "//"
// is a "/" inside a name.
QStringList categoryParts(const QString& path);

} // namespace tess::exchange
