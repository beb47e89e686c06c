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
    explicit PaperFixture(const QString& bankPath);

    int addPaper(const QString& name, const QVariant& fullMark, const QString& outputFile = {});
    int addQuestion(int papId, const QVariant& qstIdx, const QString& type, const QVariant& mark,
                    const QVariant& text, bool isTrue = true);
    int addChoice(int qstId, int chcIdx, const QVariant& text, bool isTrue);
    // Choices numbered from 1, texts "选项1", "选项2", ...; correct lists 1-based positions.
    void addChoices(int qstId, int count, const QList<int>& correct);

    tess::Connection conn;

private:
    tess::TableCursor m_paper{conn, QStringLiteral("paper")};
    tess::TableCursor m_question{conn, QStringLiteral("question")};
    tess::TableCursor m_choice{conn, QStringLiteral("choice")};
    int m_nextPap = 1;
    int m_nextQst = 1;
    int m_nextChc = 1;
};
