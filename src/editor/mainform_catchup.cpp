// The main window and another program on the same paper bank: before a command
// acts, the window catches up with what the other program committed, so that
// nothing is written into a paper or question other than the one the teacher
// sees selected.
#include "app/tmainform.h"
#include "editor/paperlistmodel.h"

#include <QAction>
#include <QComboBox>
#include <optional>

namespace {

// A record as the window last read it.
struct Seen {
    int id = -1;
    QStringList values;
};

Seen currentRecord(const tess::TableCursor& cursor, const QString& idColumn) {
    Seen seen;
    if (!cursor.isOpen() || cursor.recNo() < 0)
        return seen;
    seen.id = cursor.asInteger(idColumn);
    for (const QString& column : cursor.columns())
        seen.values << cursor.asString(column);
    return seen;
}

} // namespace

void TMainForm::ConnectBankCommand(QAction* action, std::function<void()> handler) {
    ConnectCommand(action, [this, handler = std::move(handler)] {
        if (CatchUp())
            handler();
    });
}

bool TMainForm::CatchUp() {
    if (!Conn.isOpen() || !TPaper.isOpen())
        return true;
    const qint64 version = Conn.dataVersion();
    if (version == m_seenVersion)
        return true;
    // Reading again drops edits not yet stored: what is being typed is saved first.
    TQuestion.checkBrowseMode();
    TChoice.checkBrowseMode();

    const std::optional<tess::PaperEntry> selected = SelectedPaper();
    const Seen paper = selected ? currentRecord(TPaper, QStringLiteral("PapID")) : Seen();
    const Seen question = currentRecord(TQuestion, QStringLiteral("QstID"));
    const Seen choice = currentRecord(TChoice, QStringLiteral("ChcID"));

    RefreshPaperClasses();
    RefreshPaperList(); // takes the new version as seen
    if (!selected)
        return true;
    const int row = PaperListModel->rowOf(selected->papId);
    if (row < 0) {
        AddMessage(QStringLiteral("试卷 \"%1\" 已经被另一个程序删除了. 试卷列表已经更新, "
                                  "这次操作没有执行; 请重新选择试卷后再操作.")
                       .arg(selected->name));
        return false;
    }
    SelectPaperRow(row);
    if (currentRecord(TPaper, QStringLiteral("PapID")).values != paper.values) {
        AddMessage(QStringLiteral("试卷 \"%1\" 刚刚被另一个程序修改过. 试卷列表和题目已经更新, "
                                  "这次操作没有执行; 请看清后再操作一次.")
                       .arg(selected->name));
        return false;
    }
    if (question.id < 0)
        return true;
    const QString questionName =
        QStringLiteral("第 %1 题")
            .arg(question.values.value(TQuestion.columns().indexOf(QStringLiteral("QstIdx"))));
    if (!TQuestion.locate(QStringLiteral("QstID"), QString::number(question.id))) {
        AddMessage(QStringLiteral("%1 已经被另一个程序删除了. 题目已经更新, 这次操作没有执行; "
                                  "请重新选择题目后再操作.")
                       .arg(questionName));
        return false;
    }
    if (currentRecord(TQuestion, QStringLiteral("QstID")).values != question.values) {
        AddMessage(QStringLiteral("%1 刚刚被另一个程序修改过. 题目已经更新, 这次操作没有执行; "
                                  "请看清后再操作一次.")
                       .arg(questionName));
        return false;
    }
    if (choice.id >= 0)
        TChoice.locate(QStringLiteral("ChcID"), QString::number(choice.id));
    return true;
}
