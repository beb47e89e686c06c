#pragma once

#include "store/connection.h"
#include "store/tablecursor.h"

#include <QString>
#include <QVariant>

// A fresh paper bank made from the real schema, filled through table cursors.
// A null QVariant leaves the column empty. Rows added under a
// banktest::SetupTransaction on conn are written together.
class PaperFixture {
public:
    // Loose: the tables take any type and any value, as in a bank that
    // another program made (a file bank only); values the cursors never write
    // go in through set(). Strict: the bank this program makes.
    enum class Types { Strict, Loose };
    explicit PaperFixture(const QString& bankPath, Types types = Types::Strict);

    int addPaper(const QString& name, const QVariant& fullMark, const QString& outputFile = {});
    int addQuestion(int papId, const QVariant& qstIdx, const QString& type, const QVariant& mark,
                    const QVariant& text, bool isTrue = true);
    int addChoice(int qstId, int chcIdx, const QVariant& text, bool isTrue);
    // Choices numbered from 1, texts "选项1", "选项2", ...; correct lists 1-based positions.
    void addChoices(int qstId, int count, const QList<int>& correct);
    // Stores value as it stands in column of the row of table whose idColumn
    // is id, its CHECK constraints ignored (a loose bank keeps it as text).
    void set(const QString& table, const QString& idColumn, int id, const QString& column,
             const QVariant& value);

    tess::Connection conn;

private:
    tess::TableCursor m_paper{conn, QStringLiteral("paper")};
    tess::TableCursor m_question{conn, QStringLiteral("question")};
    tess::TableCursor m_choice{conn, QStringLiteral("choice")};
    int m_nextPap = 1;
    int m_nextQst = 1;
    int m_nextChc = 1;
};
