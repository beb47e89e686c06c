#pragma once

#include "settings/newpaperdefaults.h"
#include "store/connection.h"
#include "store/query.h"
#include "store/tablecursor.h"

#include <QString>
#include <functional>

namespace tess {

// The paper bank the program works on: the connection, the paper, question
// and choice cursors the windows share, the account table, the numbering of
// new records with its orphan trim, the current paper and question, and the
// defaults a new paper receives. No widgets: it tells what it does through
// callbacks the window sets.
class PaperBank {
public:
    PaperBank();
    PaperBank(const PaperBank&) = delete;
    PaperBank& operator=(const PaperBank&) = delete;

    // Opens the bank at path and reads its three tables; throws the engine's
    // error having closed it again, so that the sign-in can try once more.
    void open(const QString& path);
    // Closes the cursors and the connection and forgets the current records.
    void close();

    // The next identifiers and numbers, after the orphan trim: before every
    // new paper, question and choice.
    void RefreshNextIDs();

    // A line for the teacher (the trim of a large bank, an upgrade that failed).
    std::function<void(const QString&)> onNotice;
    // True before work that keeps the window waiting for seconds, false after it.
    std::function<void(bool)> onBusy;
    // The category the navigator shows, or an empty text for all papers: a new
    // paper joins the category the teacher sees.
    std::function<QString()> shownCategory;

    Connection Conn;
    TableCursor TPaper{Conn, QStringLiteral("paper")};
    TableCursor TQuestion{Conn, QStringLiteral("question")};
    TableCursor TChoice{Conn, QStringLiteral("choice")};
    Query QMaxID{Conn};
    Query QPapCtg{Conn};
    Query QComplier{Conn};
    Command CmdTrim{Conn};
    Command CmdDelQsts{Conn};
    // Open only while a new password is written.
    TableCursor TableUsers{Conn, QStringLiteral("users")};

    int CurPapID = -1;
    int CurQstID = -1;
    int NextPapID = 0;
    int NextQstID = 0;
    int NextChcID = 0;
    int NextQstIdx = 0;
    int NextChcIdx = 0;

    NewPaperDefaults Defaults;

private:
    void notice(const QString& text) const;
    void TPaperAfterInsert();
    void TQuestionAfterInsert();
    void TChoiceAfterInsert();
};

} // namespace tess
