#include "editor/questiongrids.h"

#include "bank/bankpictures.h"
#include "bank/paperbank.h"
#include "editor/cursortablemodel.h"
#include "editor/papernavigator.h"
#include "editor/recordgrid.h"
#include "editor/recordnavigator.h"
#include "editor/truorfalse.h"
#include "frame/frame.h"
#include "frame/prompts.h"
#include "settings/programfiles.h"
#include "store/questionkind.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>

namespace tess {

namespace {

constexpr int kStripHeight = 33;

// The strip under a grid: the count at the left, 8 in and 8 down, the
// navigator at the right. Laid out, so that the count takes the room its text
// needs whenever it changes: a count that gains a digit is not cut off.
class StatusStrip : public QWidget {
public:
    StatusStrip(QLabel* label, QWidget* navigator, QWidget* parent) : QWidget(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 0, 4, 0);
        layout->setSpacing(8);
        layout->addWidget(label, 0, Qt::AlignLeft | Qt::AlignTop);
        layout->addStretch(1);
        layout->addWidget(navigator, 0, Qt::AlignRight | Qt::AlignVCenter);
        // A very narrow or low window cuts the strip rather than being held open by it.
        layout->setSizeConstraint(QLayout::SetNoConstraint);
        label->setContentsMargins(0, 8, 0, 0);
        label->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        setMaximumHeight(kStripHeight);
        // The pane lies on the grey work area; the strip has the window colour.
        QPalette window = palette();
        window.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
        setPalette(window);
        setAutoFillBackground(true);
    }

    QSize sizeHint() const override { return {layout()->sizeHint().width(), kStripHeight}; }
    QSize minimumSizeHint() const override { return {0, 0}; }
};

// Builds a grid, its status label and navigator into pane.
RecordGrid* buildPane(QWidget* pane, CursorTableModel* source, const char* gridName,
                      const QString& gridTitle, QLabel*& label, const char* labelName,
                      RecordNavigator*& navigator, const char* navigatorName,
                      const std::function<void(const std::function<void()>&)>& guard) {
    source->setGuard(guard);
    auto* grid = new RecordGrid(*source, pane);
    grid->setObjectName(QLatin1String(gridName));
    // A very low window cuts the grid rather than holding the work area open.
    grid->setMinimumHeight(1);
    grid->setAccessibleName(gridTitle);
    label = new QLabel;
    label->setObjectName(QLatin1String(labelName));
    navigator = new RecordNavigator(*source);
    navigator->setObjectName(QLatin1String(navigatorName));
    navigator->setAccessibleName(gridTitle + QStringLiteral("导航"));
    auto* strip = new StatusStrip(label, navigator, pane);
    QLayout* layout = pane->layout();
    layout->setSpacing(0);
    layout->addWidget(grid);
    layout->addWidget(strip);
    return grid;
}

QString countText(int n, const char* unit) {
    return QStringLiteral("共") + QString::number(n) + QString::fromUtf8(unit);
}

} // namespace

QuestionGrids::QuestionGrids(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                             const GridCommands& commands, QWidget* questionPane,
                             QWidget* choicePane)
    : QObject(questionPane), m_frame(frame), m_bank(bank), m_navigator(navigator),
      m_commands(commands) {
    setObjectName(QStringLiteral("QuestionGrids"));
    createQuestionGrid(questionPane);
    createChoiceGrid(choicePane);

    frame.ConnectBankCommand(m_commands.addQuestion, [this] { OnAddQustionExecute(); });
    frame.ConnectBankCommand(m_commands.delQuestion, [this] { OnDelQuestionExecute(); });
    frame.ConnectBankCommand(m_commands.addChoice, [this] { OnAddChoiceExecute(); });
    frame.ConnectBankCommand(m_commands.delChoice, [this] { OnDelChoiceExecute(); });
    frame.ConnectBankCommand(m_commands.insertImage, [this] { OnInsertImageExecute(); });
    frame.ConnectBankCommand(m_commands.insertImageChc, [this] { OnInsertImageChcExecute(); });
    frame.SetUpdateRule(m_commands.insertImage, [this] { OnInsertImageUpdate(); });
    frame.SetUpdateRule(m_commands.insertImageChc, [this] { OnInsertImageChcUpdate(); });
    PapersListed(false);
    OnInsertImageUpdate();
    OnInsertImageChcUpdate();
    for (QAction* action : {m_commands.addChoice, m_commands.delQuestion, m_commands.delChoice})
        action->setEnabled(false);
    connect(&navigator, &PaperNavigator::papersListed, this,
            [this](bool any) { PapersListed(any); });

    // A choice or question being typed is saved before the record it belongs
    // to is left: closing or re-reading the cursor under it would drop it.
    TableCursor& questions = bank.TQuestion;
    TableCursor& choices = bank.TChoice;
    bank.TPaper.addHandler(CursorEvent::BeforeLeave, [this] {
        m_bank.TQuestion.checkBrowseMode();
        m_bank.TChoice.checkBrowseMode();
    });
    questions.addHandler(CursorEvent::BeforeLeave, [this] { m_bank.TChoice.checkBrowseMode(); });
    questions.addHandler(CursorEvent::BeforeClose, [this] { TQuestionBeforeClose(); });
    questions.addHandler(CursorEvent::AfterOpen, [this] { TQuestionAfterOpen(); });
    questions.addHandler(CursorEvent::AfterPost, [this] { TQuestionAfterPost(); });
    questions.addHandler(CursorEvent::AfterScroll, [this] { TQuestionAfterScroll(); });
    choices.addHandler(CursorEvent::AfterOpen, [this] { TChoiceAfterOpen(); });
    choices.addHandler(CursorEvent::BeforeClose, [this] { TChoiceBeforeClose(); });
    choices.addHandler(CursorEvent::AfterDelete, [this] { TChoiceAfterDelete(); });
    choices.addHandler(CursorEvent::AfterPost, [this] { tellSavedAfterLoss(DBGridChoice); });
    choices.addHandler(CursorEvent::AfterScroll, [this] { TChoiceAfterScroll(); });
    // After the bank has numbered and filled the new choice.
    choices.addHandler(CursorEvent::AfterInsert,
                       [this] { m_commands.delChoice->setEnabled(true); });
}

void QuestionGrids::PapersListed(bool any) {
    DBGridQuestion->setEnabled(any);
    m_commands.addQuestion->setEnabled(any);
}

void QuestionGrids::createQuestionGrid(QWidget* pane) {
    DSQuestion = new CursorTableModel(
        m_bank.TQuestion,
        {{QStringLiteral("QstIdx"), QStringLiteral("题目序号"), 56, Qt::AlignRight},
         {QStringLiteral("QstTyp"), QStringLiteral("题目类型"), 56, Qt::AlignLeft},
         {QStringLiteral("QstScr"), QStringLiteral("分值"), 30, Qt::AlignRight},
         {QStringLiteral("QstCon"), QStringLiteral("题目内容"), 250, Qt::AlignLeft},
         {QStringLiteral("IsTrue"), QStringLiteral("是否正确"), 70, Qt::AlignLeft}},
        this);
    DSQuestion->setObjectName(QStringLiteral("DSQuestion"));
    DBGridQuestion = buildPane(pane, DSQuestion, "DBGridQuestion", QStringLiteral("题目"),
                               LabelQuestion, "LabelQuestion", DBNavigator1, "DBNavigator1",
                               [this](const std::function<void()>& fn) { m_frame.Guarded(fn); });
    CBEditor = DBGridQuestion->addList({QStringLiteral("QstTyp"),
                                        questionTypeWords(),
                                        QStringLiteral("CBEditor"),
                                        QStringLiteral("题目类型"),
                                        {},
                                        {},
                                        false});
    CBTruOrFalse = DBGridQuestion->addList({QStringLiteral("IsTrue"),
                                            {QStringLiteral("正确"), QStringLiteral("错误")},
                                            QStringLiteral("CBTruOrFalse"),
                                            QStringLiteral("是否正确"),
                                            FieldToTruOrFalse,
                                            TruOrFalseToField,
                                            false});
    DBGridQuestion->setBeforeInsert([this] { return m_navigator.CatchUp(); });
}

void QuestionGrids::createChoiceGrid(QWidget* pane) {
    DSChoice = new CursorTableModel(
        m_bank.TChoice,
        {{QStringLiteral("ChcIdx"), QStringLiteral("选项序号"), 56, Qt::AlignRight},
         {QStringLiteral("IsTrue"), QStringLiteral("正确选项"), 64, Qt::AlignLeft},
         {QStringLiteral("ChcCon"), QStringLiteral("选项内容"), 358, Qt::AlignLeft}},
        this);
    DSChoice->setObjectName(QStringLiteral("DSChoice"));
    DBGridChoice = buildPane(pane, DSChoice, "DBGridChoice", QStringLiteral("选项"), LabelChoice,
                             "LabelChoice", DBNavigator2, "DBNavigator2",
                             [this](const std::function<void()>& fn) { m_frame.Guarded(fn); });
    // Always enabled: any number of a question's choices may be correct.
    CBTruOrFalse2 = DBGridChoice->addList({QStringLiteral("IsTrue"),
                                           {QStringLiteral("正确"), QStringLiteral("错误")},
                                           QStringLiteral("CBTruOrFalse2"),
                                           QStringLiteral("正确选项"),
                                           FieldToTruOrFalse,
                                           TruOrFalseToField,
                                           true});
    DBGridChoice->setBeforeInsert([this] { return m_navigator.CatchUp(); });
}

// --- the two refresh routines ----------------------------------------------------

void QuestionGrids::RefreshQuestionView() {
    TableCursor& questions = m_bank.TQuestion;
    TableCursor& choices = m_bank.TChoice;
    const int n = questions.recordCount();
    LabelQuestion->setText(countText(n, "道题目"));
    LabelChoice->setText(countText(choices.recordCount(), "个选项"));
    const bool any = n != 0;
    // The choice side is set once, from the type word where there are
    // questions: setting it twice would reset the choice grid twice.
    const bool choiceQuestion =
        any &&
        questionKindOf(questions.asString(QStringLiteral("QstTyp"))) != QuestionKind::TrueFalse;
    DSChoice->setEnabled(choiceQuestion);
    DSQuestion->setEnabled(any);
    m_commands.addChoice->setEnabled(choiceQuestion);
    m_commands.delQuestion->setEnabled(any);
    if (any) {
        CBTruOrFalse->setEnabled(!choiceQuestion);
        m_commands.delChoice->setEnabled(choices.recordCount() > 0 &&
                                         m_commands.addChoice->isEnabled());
        // Read again only for another question: a cursor already open on this
        // question's choices holds them, also when there are none (on a server
        // every reading is a round trip; another program's changes are caught
        // up with before the next command).
        const QString filter =
            QStringLiteral("QstIdx = ") + questions.asString(QStringLiteral("QstID"));
        if (!choices.isOpen() || choices.filter() != filter) {
            choices.close();
            choices.setFilter(filter);
            choices.open();
        }
        return;
    }
    choices.close();
    choices.setFilter(QStringLiteral("QstIdx < 0"));
    choices.open();
    DSChoice->setEnabled(false);
    m_commands.addChoice->setEnabled(false);
    m_commands.delChoice->setEnabled(false);
    CBTruOrFalse->setEnabled(true);
}

void QuestionGrids::RefreshChoiceView() {
    const int m = m_bank.TChoice.recordCount();
    DSChoice->setEnabled(m > 0);
    // The choice grid itself is never disabled.
    m_commands.delChoice->setEnabled(m > 0 && DBGridChoice->isEnabled());
    LabelChoice->setText(countText(m, "个选项"));
}

// --- commands ----------------------------------------------------------------------

void QuestionGrids::OnAddQustionExecute() {
    TableCursor& questions = m_bank.TQuestion;
    if (!questions.isOpen())
        return; // no paper bank yet
    questions.insert();
    questions.post();
    // The new question by its own identifier: another program may have added
    // one to this paper meanwhile, and that one must not be changed.
    const QString newId = questions.asString(QStringLiteral("QstID"));
    questions.refresh();
    if (questions.recordCount() <= 1)
        return;
    // Every question after the first takes the type word and mark of the one
    // before it, read from its row: moving onto it would read its choices.
    questions.locate(QStringLiteral("QstID"), newId);
    const int row = questions.recNo();
    if (row <= 0)
        return;
    const QString type = questions.textAt(row - 1, QStringLiteral("QstTyp"));
    const QString mark = questions.textAt(row - 1, QStringLiteral("QstScr"));
    questions.edit();
    questions.setString(QStringLiteral("QstTyp"), type);
    questions.setString(QStringLiteral("QstScr"), mark);
    questions.post();
}

void QuestionGrids::OnDelQuestionExecute() {
    if (!m_bank.TQuestion.isEmpty())
        m_bank.TQuestion.remove();
}

void QuestionGrids::OnAddChoiceExecute() {
    TableCursor& choices = m_bank.TChoice;
    if (!choices.isOpen())
        return;
    choices.insert();
    choices.post();
    choices.refresh();
    RefreshChoiceView();
}

void QuestionGrids::OnDelChoiceExecute() {
    if (m_bank.TChoice.isEmpty())
        return;
    m_bank.TChoice.remove();
    RefreshChoiceView();
}

// --- cursor handlers -----------------------------------------------------------------

void QuestionGrids::TQuestionBeforeClose() {
    m_bank.TQuestion.suspendViews();
    m_bank.TChoice.close();
}

void QuestionGrids::TQuestionAfterOpen() {
    DBGridQuestion->takeKeptAfterLoss();
    m_bank.TChoice.open();
    m_bank.TQuestion.resumeViews();
    RefreshQuestionView();
}

void QuestionGrids::TQuestionAfterPost() {
    tellSavedAfterLoss(DBGridQuestion);
    RefreshQuestionView();
}

void QuestionGrids::tellSavedAfterLoss(RecordGrid* grid) {
    // The teacher was told the row was not saved; now it is, and they must know.
    if (grid->takeKeptAfterLoss())
        m_frame.AddMessage(QStringLiteral("与试题库服务器的连接已经恢复, "
                                          "刚才留在表格中的内容现在保存好了."));
}

void QuestionGrids::TQuestionAfterScroll() {
    if (m_bank.TQuestion.recNo() >= 0)
        m_bank.CurQstID = m_bank.TQuestion.asInteger(QStringLiteral("QstID"));
    RefreshQuestionView();
}

void QuestionGrids::TChoiceAfterOpen() {
    DBGridChoice->takeKeptAfterLoss();
    m_bank.TChoice.resumeViews();
    RefreshChoiceView();
}

void QuestionGrids::TChoiceBeforeClose() {
    m_bank.TChoice.suspendViews();
    m_commands.delChoice->setEnabled(false);
}

void QuestionGrids::TChoiceAfterDelete() {
    RefreshChoiceView();
}

void QuestionGrids::TChoiceAfterScroll() {
    // The current choice is normally being edited, so leaving a column posts it.
    TableCursor& choices = m_bank.TChoice;
    if (DSChoice->isEnabled() && choices.state() == CursorState::Browse && choices.recNo() >= 0)
        choices.edit();
}

// --- pictures ------------------------------------------------------------------------

void QuestionGrids::OnInsertImageUpdate() {
    // Also only while a paper is selected, whose question it can be.
    m_commands.insertImage->setEnabled(DBGridQuestion->currentColumn() ==
                                           DSQuestion->columnOf(QStringLiteral("QstCon")) &&
                                       m_commands.addQuestion->isEnabled());
}

void QuestionGrids::OnInsertImageChcUpdate() {
    // Also only where the teacher sees the choice, or may add one: never into
    // the hidden choices of a true/false question or with no question at all.
    m_commands.insertImageChc->setEnabled(
        DBGridChoice->currentColumn() == DSChoice->columnOf(QStringLiteral("ChcCon")) &&
        (DSChoice->isEnabled() || m_commands.addChoice->isEnabled()));
}

void QuestionGrids::OnInsertImageExecute() {
    insertPicture(DBGridQuestion, QStringLiteral("QstCon"));
}

void QuestionGrids::OnInsertImageChcExecute() {
    insertPicture(DBGridChoice, QStringLiteral("ChcCon"));
}

void QuestionGrids::insertPicture(RecordGrid* grid, const QString& field) {
    const QString chosen =
        Prompts::instance().openPicture(m_frame.FrameWidget(), QStringLiteral("插入图片文件"),
                                        pictureFileTypes(), ProgramFiles::WorkFolder());
    if (chosen.isEmpty())
        return;
    const PictureCopy copy = placePicture(m_bank.Conn, chosen, ProgramFiles::PicturesFolder());
    // The tag goes in all the same; the teacher is told the page will lack the picture.
    if (!copy.failure.isEmpty())
        m_frame.AddMessage(copy.failure);
    if (grid->currentColumn() != grid->source().columnOf(field))
        return;
    TableCursor* cursor = grid->source().cursor();
    if (!cursor || !cursor->isOpen())
        return;
    // Text being typed in the cell is saved first; the tag goes after it.
    grid->finishEditing();
    if (cursor->isEditing())
        cursor->post();
    cursor->edit(); // on an empty cursor this starts a new record
    cursor->setString(field, cursor->asString(field) + pictureTag(copy.name));
    cursor->post();
}

} // namespace tess
