// The window and another program on the same paper bank: before a command
// acts, the navigator catches up with what the other program committed, so
// that nothing is written into a paper or question other than the one the
// teacher sees selected.
#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "frame/frame.h"

#include <optional>

namespace tess {

namespace {

// A record as the window last read it.
struct Seen {
    int id = -1;
    QStringList values;
};

Seen currentRecord(const TableCursor& cursor, const QString& idColumn) {
    Seen seen;
    if (!cursor.isOpen() || cursor.recNo() < 0)
        return seen;
    seen.id = cursor.asInteger(idColumn);
    for (const QString& column : cursor.columns())
        seen.values << cursor.asString(column);
    return seen;
}

} // namespace

bool PaperNavigator::CatchUp() {
    if (!m_bank.Conn.isOpen() || !m_bank.TPaper.isOpen())
        return true;
    const qint64 version = m_bank.Conn.dataVersion();
    if (version == m_seenVersion)
        return true;
    // Reading again drops edits not yet stored: what is being typed is saved first.
    m_bank.TQuestion.checkBrowseMode();
    m_bank.TChoice.checkBrowseMode();

    const std::optional<PaperEntry> selected = SelectedPaper();
    const Seen paper = selected ? currentRecord(m_bank.TPaper, QStringLiteral("PapID")) : Seen();
    const Seen question = currentRecord(m_bank.TQuestion, QStringLiteral("QstID"));
    const Seen choice = currentRecord(m_bank.TChoice, QStringLiteral("ChcID"));

    RefreshPaperClasses();
    RefreshPaperList(); // takes the new version as seen
    if (!selected)
        return true;
    const int row = PaperListModel->rowOf(selected->papId);
    if (row < 0) {
        m_frame.AddMessage(QStringLiteral("试卷 \"%1\" 已经被另一个程序删除了. 试卷列表已经更新, "
                                          "这次操作没有执行; 请重新选择试卷后再操作.")
                               .arg(selected->name));
        return false;
    }
    SelectPaperRow(row);
    if (currentRecord(m_bank.TPaper, QStringLiteral("PapID")).values != paper.values) {
        m_frame.AddMessage(
            QStringLiteral("试卷 \"%1\" 刚刚被另一个程序修改过. 试卷列表和题目已经更新, "
                           "这次操作没有执行; 请看清后再操作一次.")
                .arg(selected->name));
        return false;
    }
    if (question.id < 0)
        return true;
    const QString questionName = QStringLiteral("第 %1 题")
                                     .arg(question.values.value(m_bank.TQuestion.columns().indexOf(
                                         QStringLiteral("QstIdx"))));
    if (!m_bank.TQuestion.locate(QStringLiteral("QstID"), QString::number(question.id))) {
        m_frame.AddMessage(
            QStringLiteral("%1 已经被另一个程序删除了. 题目已经更新, 这次操作没有执行; "
                           "请重新选择题目后再操作.")
                .arg(questionName));
        return false;
    }
    if (currentRecord(m_bank.TQuestion, QStringLiteral("QstID")).values != question.values) {
        m_frame.AddMessage(
            QStringLiteral("%1 刚刚被另一个程序修改过. 题目已经更新, 这次操作没有执行; "
                           "请看清后再操作一次.")
                .arg(questionName));
        return false;
    }
    if (choice.id >= 0)
        m_bank.TChoice.locate(QStringLiteral("ChcID"), QString::number(choice.id));
    return true;
}

} // namespace tess
