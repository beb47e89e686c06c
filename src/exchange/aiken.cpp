#include "exchange/aiken.h"

#include "exchange/textfile.h"

namespace tess::exchange {

namespace {

[[noreturn]] void fail(int line, const QString& message) {
    throw ExchangeError(atLine(line, message));
}

// "A. text" or "A) text": a capital letter, "." or ")", and a blank.
bool isChoiceLine(const QString& line) {
    return line.size() > 2 && line[0] >= u'A' && line[0] <= u'Z' &&
           (line[1] == u'.' || line[1] == u')') && line[2].isSpace();
}

} // namespace

Imported readAiken(const QByteArray& bytes, const QString& fileName) {
    const QStringList lines = splitLines(decodeText(bytes));
    Paper paper;
    paper.name = fileBaseName(fileName);

    QStringList text; // the question's lines so far
    Question question;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        if (isChoiceLine(line)) {
            if (text.isEmpty())
                fail(number, QStringLiteral("选项前面没有题目"));
            const QChar expected = QChar(char16_t(u'A' + question.choices.size()));
            if (line[0] != expected)
                fail(number, QStringLiteral("这里应是选项 %1，却是 %2").arg(expected).arg(line[0]));
            question.choices.append(Choice{plainToHtml(line.mid(2)), false});
        } else if (line.startsWith(u"ANSWER:")) {
            if (question.choices.isEmpty())
                fail(number, QStringLiteral("ANSWER 前面没有选项"));
            const QString letter = line.mid(7).trimmed();
            const qsizetype index = letter.size() == 1 ? letter[0].unicode() - u'A' : -1;
            if (letter.isEmpty())
                fail(number, QStringLiteral("ANSWER 后面没有选项字母"));
            if (index < 0 || index >= question.choices.size())
                fail(number, QStringLiteral("ANSWER 的“%1”不是这道题的选项字母").arg(letter));
            question.choices[index].correct = true;
            question.kind = QuestionKind::Single;
            question.html = plainToHtml(text.join(QLatin1Char('\n')));
            paper.questions.append(question);
            text.clear();
            question = Question();
        } else {
            // Text after the choices starts the next question before this one got its answer.
            if (!question.choices.isEmpty())
                fail(question.line,
                     QStringLiteral("这道题在第 %1 行之前缺少 ANSWER 行").arg(number));
            if (text.isEmpty())
                question.line = number;
            text.append(line);
        }
    }
    if (!text.isEmpty())
        fail(question.line, question.choices.isEmpty()
                                ? QStringLiteral("这道题没有选项，也没有 ANSWER 行")
                                : QStringLiteral("这道题缺少 ANSWER 行"));
    if (paper.questions.isEmpty())
        fail(1, QStringLiteral("文件是空的"));
    return Imported{{paper}, {}};
}

} // namespace tess::exchange
