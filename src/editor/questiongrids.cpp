#include "editor/questiongrids.h"

#include "app/prompts.h"
#include "app/tmainform.h"
#include "editor/cursortablemodel.h"
#include "editor/pictures.h"
#include "editor/recordgrid.h"
#include "editor/recordnavigator.h"
#include "editor/truorfalse.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>

namespace tess {

namespace {

const QString kTrueFalse = QStringLiteral("判断题");
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

QuestionGrids::QuestionGrids(TMainForm& form) : QObject(&form), m_form(form) {
    setObjectName(QStringLiteral("QuestionGrids"));
    createQuestionGrid();
    createChoiceGrid();

    form.ConnectBankCommand(form.OnAddQustion, [this] { OnAddQustionExecute(); });
    form.ConnectBankCommand(form.OnDelQuestion, [this] { OnDelQuestionExecute(); });
    form.ConnectBankCommand(form.OnAddChoice, [this] { OnAddChoiceExecute(); });
    form.ConnectBankCommand(form.OnDelChoice, [this] { OnDelChoiceExecute(); });
    form.ConnectBankCommand(form.OnInsertImage, [this] { OnInsertImageExecute(); });
    form.ConnectBankCommand(form.OnInsertImageChc, [this] { OnInsertImageChcExecute(); });
    form.SetUpdateRule(form.OnInsertImage, [this] { OnInsertImageUpdate(); });
    form.SetUpdateRule(form.OnInsertImageChc, [this] { OnInsertImageChcUpdate(); });
    OnInsertImageUpdate();
    OnInsertImageChcUpdate();
    for (QAction* action : {form.OnAddChoice, form.OnDelQuestion, form.OnDelChoice})
        action->setEnabled(false);

    using tess::CursorEvent;
    // A choice or question being typed is saved before the record it belongs
    // to is left: closing or re-reading the cursor under it would drop it.
    form.TPaper.setHandler(CursorEvent::BeforeLeave, [this] {
        m_form.TQuestion.checkBrowseMode();
        m_form.TChoice.checkBrowseMode();
    });
    form.TQuestion.setHandler(CursorEvent::BeforeLeave,
                              [this] { m_form.TChoice.checkBrowseMode(); });
    form.TQuestion.setHandler(CursorEvent::BeforeClose, [this] { TQuestionBeforeClose(); });
    form.TQuestion.setHandler(CursorEvent::AfterOpen, [this] { TQuestionAfterOpen(); });
    form.TQuestion.setHandler(CursorEvent::AfterPost, [this] { TQuestionAfterPost(); });
    form.TQuestion.setHandler(CursorEvent::AfterScroll, [this] { TQuestionAfterScroll(); });
    form.TChoice.setHandler(CursorEvent::AfterOpen, [this] { TChoiceAfterOpen(); });
    form.TChoice.setHandler(CursorEvent::BeforeClose, [this] { TChoiceBeforeClose(); });
    form.TChoice.setHandler(CursorEvent::AfterDelete, [this] { TChoiceAfterDelete(); });
    form.TChoice.setHandler(CursorEvent::AfterScroll, [this] { TChoiceAfterScroll(); });
}

void QuestionGrids::createQuestionGrid() {
    DSQuestion = new CursorTableModel(
        m_form.TQuestion,
        {{QStringLiteral("QstIdx"), QStringLiteral("题目序号"), 56, Qt::AlignRight},
         {QStringLiteral("QstTyp"), QStringLiteral("题目类型"), 56, Qt::AlignLeft},
         {QStringLiteral("QstScr"), QStringLiteral("分值"), 30, Qt::AlignRight},
         {QStringLiteral("QstCon"), QStringLiteral("题目内容"), 250, Qt::AlignLeft},
         {QStringLiteral("IsTrue"), QStringLiteral("是否正确"), 70, Qt::AlignLeft}},
        this);
    DSQuestion->setObjectName(QStringLiteral("DSQuestion"));
    DBGridQuestion =
        buildPane(m_form.PnlQuestion, DSQuestion, "DBGridQuestion", QStringLiteral("题目"),
                  LabelQuestion, "LabelQuestion", DBNavigator1, "DBNavigator1",
                  [this](const std::function<void()>& fn) { m_form.Guarded(fn); });
    CBEditor =
        DBGridQuestion->addList({QStringLiteral("QstTyp"),
                                 {kTrueFalse, QStringLiteral("单选题"), QStringLiteral("多选题")},
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
    m_form.SetPopupMenu(DBGridQuestion, m_form.PopMenuQuestion);
    DBGridQuestion->setBeforeInsert([this] { return m_form.CatchUp(); });
    m_form.DBGridQuestion = DBGridQuestion;
}

void QuestionGrids::createChoiceGrid() {
    DSChoice = new CursorTableModel(
        m_form.TChoice,
        {{QStringLiteral("ChcIdx"), QStringLiteral("选项序号"), 56, Qt::AlignRight},
         {QStringLiteral("IsTrue"), QStringLiteral("正确选项"), 64, Qt::AlignLeft},
         {QStringLiteral("ChcCon"), QStringLiteral("选项内容"), 358, Qt::AlignLeft}},
        this);
    DSChoice->setObjectName(QStringLiteral("DSChoice"));
    DBGridChoice = buildPane(m_form.PnlChoice, DSChoice, "DBGridChoice", QStringLiteral("选项"),
                             LabelChoice, "LabelChoice", DBNavigator2, "DBNavigator2",
                             [this](const std::function<void()>& fn) { m_form.Guarded(fn); });
    // Always enabled: any number of a question's choices may be correct.
    CBTruOrFalse2 = DBGridChoice->addList({QStringLiteral("IsTrue"),
                                           {QStringLiteral("正确"), QStringLiteral("错误")},
                                           QStringLiteral("CBTruOrFalse2"),
                                           QStringLiteral("正确选项"),
                                           FieldToTruOrFalse,
                                           TruOrFalseToField,
                                           true});
    m_form.SetPopupMenu(DBGridChoice, m_form.PopMenuChoice);
    DBGridChoice->setBeforeInsert([this] { return m_form.CatchUp(); });
}

// --- the two refresh routines ----------------------------------------------------

void QuestionGrids::RefreshQuestionView() {
    TableCursor& questions = m_form.TQuestion;
    TableCursor& choices = m_form.TChoice;
    const int n = questions.recordCount();
    LabelQuestion->setText(countText(n, "道题目"));
    LabelChoice->setText(countText(choices.recordCount(), "个选项"));
    const bool any = n != 0;
    // The choice side is set once, from the type word where there are
    // questions: setting it twice would reset the choice grid twice.
    const bool choiceQuestion = any && questions.asString(QStringLiteral("QstTyp")) != kTrueFalse;
    DSChoice->setEnabled(choiceQuestion);
    DSQuestion->setEnabled(any);
    m_form.OnAddChoice->setEnabled(choiceQuestion);
    m_form.OnDelQuestion->setEnabled(any);
    if (any) {
        CBTruOrFalse->setEnabled(!choiceQuestion);
        m_form.OnDelChoice->setEnabled(choices.recordCount() > 0 &&
                                       m_form.OnAddChoice->isEnabled());
        const QString qstId = questions.asString(QStringLiteral("QstID"));
        const QString owner =
            choices.recNo() >= 0 ? choices.asString(QStringLiteral("QstIdx")) : QString();
        if (qstId != owner) {
            choices.close();
            choices.setFilter(QStringLiteral("QstIdx = ") + qstId);
            choices.open();
        }
        return;
    }
    choices.close();
    choices.setFilter(QStringLiteral("QstIdx < 0"));
    choices.open();
    DSChoice->setEnabled(false);
    m_form.OnAddChoice->setEnabled(false);
    m_form.OnDelChoice->setEnabled(false);
    CBTruOrFalse->setEnabled(true);
}

void QuestionGrids::RefreshChoiceView() {
    const int m = m_form.TChoice.recordCount();
    DSChoice->setEnabled(m > 0);
    // The choice grid itself is never disabled.
    m_form.OnDelChoice->setEnabled(m > 0 && DBGridChoice->isEnabled());
    LabelChoice->setText(countText(m, "个选项"));
}

// --- commands ----------------------------------------------------------------------

void QuestionGrids::OnAddQustionExecute() {
    TableCursor& questions = m_form.TQuestion;
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
    // Every question after the first takes the type word and mark of the one before it.
    questions.locate(QStringLiteral("QstID"), newId);
    if (questions.recNo() == 0)
        return;
    questions.prior();
    const QString type = questions.asString(QStringLiteral("QstTyp"));
    const QString mark = questions.asString(QStringLiteral("QstScr"));
    questions.locate(QStringLiteral("QstID"), newId);
    questions.edit();
    questions.setString(QStringLiteral("QstTyp"), type);
    questions.setString(QStringLiteral("QstScr"), mark);
    questions.post();
}

void QuestionGrids::OnDelQuestionExecute() {
    if (!m_form.TQuestion.isEmpty())
        m_form.TQuestion.remove();
}

void QuestionGrids::OnAddChoiceExecute() {
    TableCursor& choices = m_form.TChoice;
    if (!choices.isOpen())
        return;
    choices.insert();
    choices.post();
    choices.refresh();
    RefreshChoiceView();
}

void QuestionGrids::OnDelChoiceExecute() {
    if (m_form.TChoice.isEmpty())
        return;
    m_form.TChoice.remove();
    RefreshChoiceView();
}

// --- cursor handlers -----------------------------------------------------------------

void QuestionGrids::TQuestionBeforeClose() {
    m_form.TQuestion.suspendViews();
    m_form.TChoice.close();
}

void QuestionGrids::TQuestionAfterOpen() {
    m_form.TChoice.open();
    m_form.TQuestion.resumeViews();
    RefreshQuestionView();
}

void QuestionGrids::TQuestionAfterPost() {
    RefreshQuestionView();
}

void QuestionGrids::TQuestionAfterScroll() {
    if (m_form.TQuestion.recNo() >= 0)
        m_form.CurQstID = m_form.TQuestion.asInteger(QStringLiteral("QstID"));
    RefreshQuestionView();
}

void QuestionGrids::TChoiceAfterOpen() {
    m_form.TChoice.resumeViews();
    RefreshChoiceView();
}

void QuestionGrids::TChoiceBeforeClose() {
    m_form.TChoice.suspendViews();
    m_form.OnDelChoice->setEnabled(false);
}

void QuestionGrids::TChoiceAfterDelete() {
    RefreshChoiceView();
}

void QuestionGrids::TChoiceAfterScroll() {
    // The current choice is normally being edited, so leaving a column posts it.
    TableCursor& choices = m_form.TChoice;
    if (DSChoice->isEnabled() && choices.state() == CursorState::Browse && choices.recNo() >= 0)
        choices.edit();
}

// --- pictures ------------------------------------------------------------------------

void QuestionGrids::OnInsertImageUpdate() {
    // Also only while a paper is selected, whose question it can be.
    m_form.OnInsertImage->setEnabled(DBGridQuestion->currentColumn() ==
                                         DSQuestion->columnOf(QStringLiteral("QstCon")) &&
                                     m_form.OnAddQustion->isEnabled());
}

void QuestionGrids::OnInsertImageChcUpdate() {
    // Also only where the teacher sees the choice, or may add one: never into
    // the hidden choices of a true/false question or with no question at all.
    m_form.OnInsertImageChc->setEnabled(DBGridChoice->currentColumn() ==
                                            DSChoice->columnOf(QStringLiteral("ChcCon")) &&
                                        (DSChoice->isEnabled() || m_form.OnAddChoice->isEnabled()));
}

void QuestionGrids::OnInsertImageExecute() {
    insertPicture(DBGridQuestion, QStringLiteral("QstCon"));
}

void QuestionGrids::OnInsertImageChcExecute() {
    insertPicture(DBGridChoice, QStringLiteral("ChcCon"));
}

void QuestionGrids::insertPicture(RecordGrid* grid, const QString& field) {
    const QString chosen = Prompts::instance().openPicture(
        &m_form, QStringLiteral("插入图片文件"), pictureFileTypes(), TMainForm::ExeFolder());
    if (chosen.isEmpty())
        return;
    const PictureCopy copy = copyIntoPicturesFolder(chosen, TMainForm::PicturesFolder());
    // The tag goes in all the same; the teacher is told the page will lack the picture.
    if (!copy.failure.isEmpty())
        m_form.AddMessage(copy.failure);
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
