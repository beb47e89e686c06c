#include "exchange/aiken.h"

#include "exchange/textfile.h"

namespace tess::exchange {

namespace {

[[noreturn]] void fail(int line, const QString& message) {
    throw ExchangeError(atLine(line, message));
}

// "A. text" or "A) text": a capital letter, "." or ")", and a blank.
bool isChoiceLine(QStringView line) {
    return line.size() > 2 && line[0] >= u'A' && line[0] <= u'Z' &&
           (line[1] == u'.' || line[1] == u')') && line[2].isSpace();
}

} // namespace

Imported readAiken(const QByteArray& bytes, const QString& fileName) {
    const QString decoded = decodeText(bytes);
    Paper paper;
    paper.name = fileBaseName(fileName);

    QString text; // the question's lines so far, joined by '\n'
    RecordCount records;
    Question question;
    Lines lines(decoded);
    QStringView untrimmed;
    for (int number = 1; lines.next(untrimmed); ++number) {
        const QStringView line = untrimmed.trimmed();
        if (line.isEmpty())
            continue;
        if (isChoiceLine(line)) {
            if (text.isEmpty())
                fail(number, QStringLiteral("选项前面没有题目"));
            // One letter a choice: Z is the last there is.
            if (question.choices.size() >= 26)
                fail(number, QStringLiteral("一道题最多有 26 个选项 (A 到 Z), 这是第 27 个; "
                                            "请删去多出的选项, 或把这道题分成两道题."));
            const QChar expected = QChar(char16_t(u'A' + question.choices.size()));
            if (line[0] != expected)
                fail(number, QStringLiteral("这里应是选项 %1，却是 %2").arg(expected).arg(line[0]));
            records.add(number);
            question.choices.append(Choice{plainToHtml(line.sliced(2).toString()), false});
        } else if (line.startsWith(u"ANSWER:")) {
            if (question.choices.isEmpty())
                fail(number, QStringLiteral("ANSWER 前面没有选项"));
            const QStringView letter = line.sliced(7).trimmed();
            const qsizetype index = letter.size() == 1 ? letter[0].unicode() - u'A' : -1;
            if (letter.isEmpty())
                fail(number, QStringLiteral("ANSWER 后面没有选项字母"));
            if (index < 0 || index >= question.choices.size())
                fail(number,
                     QStringLiteral("ANSWER 的“%1”不是这道题的选项字母").arg(letter.toString()));
            question.choices[index].correct = true;
            question.kind = QuestionKind::Single;
            question.html = plainToHtml(text);
            records.add(question.line);
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
            else
                text += QLatin1Char('\n');
            text += line;
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
