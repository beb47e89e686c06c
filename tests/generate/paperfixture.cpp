#include "paperfixture.h"

#include "bankhelpers.h"

namespace {

void setOrNull(tess::TableCursor& cursor, const QString& column, const QVariant& value) {
    if (value.isNull())
        cursor.setNull(column);
    else
        cursor.setValue(column, value);
}

} // namespace

PaperFixture::PaperFixture(const QString& bankPath) {
    banktest::freshBank(bankPath);
    banktest::openConnection(conn, bankPath);
    // Kept open: a fixture of a thousand questions must not re-read its tables per record.
    m_paper.open();
    m_question.open();
    m_choice.open();
}

int PaperFixture::addPaper(const QString& name, const QVariant& fullMark,
                           const QString& outputFile) {
    tess::TableCursor& paper = m_paper;
    paper.insert();
    const int id = m_nextPap++;
    paper.setInteger(QStringLiteral("PapID"), id);
    paper.setString(QStringLiteral("PapNam"), name);
    setOrNull(paper, QStringLiteral("PapScr"), fullMark);
    paper.setString(QStringLiteral("PapSav"), outputFile);
    paper.setString(QStringLiteral("PapCtg"), QStringLiteral("测验"));
    paper.post();
    return id;
}

int PaperFixture::addQuestion(int papId, const QVariant& qstIdx, const QString& type,
                              const QVariant& mark, const QVariant& text, bool isTrue) {
    tess::TableCursor& question = m_question;
    question.insert();
    const int id = m_nextQst++;
    question.setInteger(QStringLiteral("QstID"), id);
    question.setInteger(QStringLiteral("PapIdx"), papId);
    setOrNull(question, QStringLiteral("QstIdx"), qstIdx);
    question.setString(QStringLiteral("QstTyp"), type);
    setOrNull(question, QStringLiteral("QstScr"), mark);
    setOrNull(question, QStringLiteral("QstCon"), text);
    question.setBoolean(QStringLiteral("IsTrue"), isTrue);
    question.post();
    return id;
}

int PaperFixture::addChoice(int qstId, int chcIdx, const QVariant& text, bool isTrue) {
    tess::TableCursor& choice = m_choice;
    choice.insert();
    const int id = m_nextChc++;
    choice.setInteger(QStringLiteral("ChcID"), id);
    choice.setInteger(QStringLiteral("QstIdx"), qstId);
    choice.setInteger(QStringLiteral("ChcIdx"), chcIdx);
    setOrNull(choice, QStringLiteral("ChcCon"), text);
    choice.setBoolean(QStringLiteral("IsTrue"), isTrue);
    choice.post();
    return id;
}

void PaperFixture::addChoices(int qstId, int count, const QList<int>& correct) {
    for (int i = 1; i <= count; ++i)
        addChoice(qstId, i, QStringLiteral("选项") + QString::number(i), correct.contains(i));
}
