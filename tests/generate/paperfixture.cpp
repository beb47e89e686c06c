#include "paperfixture.h"

#include "bankhelpers.h"
#include "store/schema.h"
#include "store/statement.h"

namespace {

void setOrNull(tess::TableCursor& cursor, const QString& column, const QVariant& value) {
    if (value.isNull())
        cursor.setNull(column);
    else
        cursor.setValue(column, value);
}

} // namespace

PaperFixture::PaperFixture(const QString& bankPath, Types types) {
    if (types == Types::Loose) {
        sqlite3* db = nullptr;
        // In one transaction: a sync per table would make a table of such banks slow.
        const QByteArray schema = "begin;" +
                                  tess::paperBankSchema()
                                      .replace(QStringLiteral(") STRICT;"), QStringLiteral(");"))
                                      .toUtf8() +
                                  ";commit;";
        const bool made =
            sqlite3_open(QFile::encodeName(bankPath).constData(), &db) == SQLITE_OK &&
            sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        if (!made)
            throw tess::EngineError(QStringLiteral("loose test bank not made at ") + bankPath);
    } else {
        banktest::freshBank(bankPath);
    }
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

void PaperFixture::set(const QString& table, const QString& idColumn, int id, const QString& column,
                       const QVariant& value) {
    conn.execute(QStringLiteral("pragma ignore_check_constraints = on"));
    tess::Statement stmt(
        conn, QStringLiteral("update %1 set %2 = ? where %3 = ?").arg(table, column, idColumn),
        table);
    stmt.bind(1, value);
    stmt.bind(2, id);
    stmt.run();
    conn.execute(QStringLiteral("pragma ignore_check_constraints = off"));
}
