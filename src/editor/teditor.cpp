#include "editor/teditor.h"

#include "frame/prompts.h"
#include "store/query.h"
#include "store/tablecursor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

namespace {

const QString kPapID = QStringLiteral("PapID");
const QString kPapScr = QStringLiteral("PapScr");
const QString kPapNam = QStringLiteral("PapNam");
const QString kPapSav = QStringLiteral("PapSav");
const QString kPapCtg = QStringLiteral("PapCtg");

} // namespace

TEditor::TEditor(tess::TableCursor& paper, tess::Query& categories, const QString& startFolder,
                 Guard guard, QWidget* parent)
    : QDialog(parent), m_paper(paper), m_categories(categories), m_startFolder(startFolder),
      m_guard(std::move(guard)) {
    setObjectName(QStringLiteral("TEditor"));
    setWindowTitle(QStringLiteral("试卷属性"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(10);
    setFont(font);

    Label1 = new QLabel(
        QStringLiteral(
            "修改当前试卷的属性值.试卷名称将作为最终生成试卷的标题,试卷生成到指定的文件."),
        this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);

    auto makeEdit = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        // Whole question-bank texts must fit; the default limit would cut them.
        edit->setMaxLength(INT_MAX);
        return edit;
    };
    DBEdit1 = makeEdit("DBEdit1");
    DBEdit1->setReadOnly(true);
    DBEdit1->setFocusPolicy(Qt::ClickFocus); // typing starts at the full mark
    DBEdit2 = makeEdit("DBEdit2");
    // Only the characters of a whole number; what still is no number is
    // refused when the record is posted.
    DBEdit2->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9+\\-]*")), DBEdit2));
    DBEdit3 = makeEdit("DBEdit3");
    DBEdit4 = makeEdit("DBEdit4");
    DBEdit5 = makeEdit("DBEdit5");

    BtnSelDir = new QPushButton(QStringLiteral("..."), this);
    BtnSelDir->setObjectName(QStringLiteral("BtnSelDir"));
    BtnSelDir->setAutoDefault(false);
    BtnSelDir->setFixedWidth(28);
    BtnSelCtg = new QPushButton(QStringLiteral("..."), this);
    BtnSelCtg->setObjectName(QStringLiteral("BtnSelCtg"));
    BtnSelCtg->setAutoDefault(false);
    BtnSelCtg->setFixedWidth(28);
    CBPapCtg = new QComboBox(this);
    CBPapCtg->setObjectName(QStringLiteral("CBPapCtg"));
    CBPapCtg->setEditable(false);
    CBPapCtg->setFixedWidth(110);
    CBPapCtg->hide();

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    const QStringList labels = {QStringLiteral("试卷ID:"), QStringLiteral("试卷满分:"),
                                QStringLiteral("试卷名称:"), QStringLiteral("试卷生成到:"),
                                QStringLiteral("试卷类别:")};
    const QList<QLineEdit*> edits = {DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5};
    for (int row = 0; row < labels.size(); ++row) {
        auto* label = new QLabel(labels[row], this);
        label->setBuddy(edits[row]);
        grid->addWidget(label, row, 0);
    }
    DBEdit1->setFixedWidth(110);
    DBEdit2->setFixedWidth(110);
    grid->addWidget(DBEdit1, 0, 1, Qt::AlignLeft);
    grid->addWidget(DBEdit2, 1, 1, Qt::AlignLeft);
    grid->addWidget(DBEdit3, 2, 1, 1, 3);
    grid->addWidget(DBEdit4, 3, 1, 1, 2);
    grid->addWidget(BtnSelDir, 3, 3, Qt::AlignLeft);
    auto* categoryRow = new QHBoxLayout;
    categoryRow->setSpacing(6);
    categoryRow->addWidget(DBEdit5, 1);
    categoryRow->addWidget(BtnSelCtg);
    categoryRow->addWidget(CBPapCtg);
    grid->addLayout(categoryRow, 4, 1, 1, 3);

    // How the page is written; the options serve the page for phones only.
    CBPapStyle = new QComboBox(this);
    CBPapStyle->setObjectName(QStringLiteral("CBPapStyle"));
    CBPapStyle->setAccessibleName(QStringLiteral("页面样式"));
    CBPapStyle->addItem(tess::pageStyleName(tess::PageStyle::Classic));
    CBPapStyle->addItem(tess::pageStyleName(tess::PageStyle::Phone));
    CBPapStyle->setFixedWidth(110);
    SPTimeLimit = new QSpinBox(this);
    SPTimeLimit->setObjectName(QStringLiteral("SPTimeLimit"));
    SPTimeLimit->setAccessibleName(QStringLiteral("限时 (分钟, 0 为不限时)"));
    SPTimeLimit->setRange(0, tess::kMaxTimeLimit);
    SPTimeLimit->setSpecialValueText(QStringLiteral("不限时"));
    SPTimeLimit->setSuffix(QStringLiteral(" 分钟"));
    CKShuffleChoices = new QCheckBox(QStringLiteral("每个学生的选项顺序不同"), this);
    CKShuffleChoices->setObjectName(QStringLiteral("CKShuffleChoices"));
    CKShuffleChoices->setAccessibleName(CKShuffleChoices->text());
    CKShuffleQuestions = new QCheckBox(QStringLiteral("每种题型内题目顺序不同"), this);
    CKShuffleQuestions->setObjectName(QStringLiteral("CKShuffleQuestions"));
    CKShuffleQuestions->setAccessibleName(CKShuffleQuestions->text());
    auto* styleLabel = new QLabel(QStringLiteral("页面样式:"), this);
    styleLabel->setBuddy(CBPapStyle);
    grid->addWidget(styleLabel, 5, 0);
    auto* styleRow = new QHBoxLayout;
    styleRow->setSpacing(6);
    styleRow->addWidget(CBPapStyle);
    auto* limitLabel = new QLabel(QStringLiteral("限时:"), this);
    limitLabel->setBuddy(SPTimeLimit);
    styleRow->addWidget(limitLabel);
    styleRow->addWidget(SPTimeLimit, 1);
    grid->addLayout(styleRow, 5, 1, 1, 3);
    auto* shuffleRow = new QHBoxLayout;
    shuffleRow->setSpacing(12);
    shuffleRow->addWidget(CKShuffleChoices);
    shuffleRow->addWidget(CKShuffleQuestions);
    shuffleRow->addStretch(1);
    grid->addLayout(shuffleRow, 6, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(CBPapStyle, &QComboBox::currentIndexChanged, this, [this] { enableStyleOptions(); });
    enableStyleOptions();

    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setMinimumWidth(75);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->addWidget(Label1);
    layout->addSpacing(8);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);

    // Taller than the five boxes alone need: two more rows for the page style.
    setFixedSize(461, 377);

    connect(BtnSelDir, &QPushButton::clicked, this,
            [this] { m_guard([this] { BtnSelDirClick(); }); });
    connect(BtnSelCtg, &QPushButton::clicked, this,
            [this] { m_guard([this] { BtnSelCtgClick(); }); });
    connect(CBPapCtg, &QComboBox::activated, this,
            [this](int index) { m_guard([this, index] { CBPapCtgChange(index); }); });
    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });

    loadBoxes();
}

TEditor::~TEditor() = default;

void TEditor::setPaperStyle(const tess::PaperStyle& style) {
    CBPapStyle->setCurrentIndex(style.style == tess::PageStyle::Phone ? 1 : 0);
    CKShuffleChoices->setChecked(style.shuffleChoices);
    CKShuffleQuestions->setChecked(style.shuffleQuestions);
    SPTimeLimit->setValue(style.timeLimit);
    enableStyleOptions();
}

tess::PaperStyle TEditor::paperStyle() const {
    tess::PaperStyle style;
    style.style =
        CBPapStyle->currentIndex() == 1 ? tess::PageStyle::Phone : tess::PageStyle::Classic;
    style.shuffleChoices = CKShuffleChoices->isChecked();
    style.shuffleQuestions = CKShuffleQuestions->isChecked();
    style.timeLimit = SPTimeLimit->value();
    return style;
}

void TEditor::setStyleUnavailable(const QString& reason) {
    for (QWidget* w : std::initializer_list<QWidget*>{CBPapStyle, CKShuffleChoices,
                                                      CKShuffleQuestions, SPTimeLimit}) {
        w->setEnabled(false);
        w->setToolTip(reason);
    }
}

// The classic page has no such options: they stay as set, greyed.
void TEditor::enableStyleOptions() {
    if (!CBPapStyle->isEnabled())
        return;
    const bool phone = CBPapStyle->currentIndex() == 1;
    for (QWidget* w :
         std::initializer_list<QWidget*>{CKShuffleChoices, CKShuffleQuestions, SPTimeLimit})
        w->setEnabled(phone);
}

void TEditor::loadBoxes() {
    const std::pair<QLineEdit*, QString> bound[] = {{DBEdit1, kPapID},
                                                    {DBEdit2, kPapScr},
                                                    {DBEdit3, kPapNam},
                                                    {DBEdit4, kPapSav},
                                                    {DBEdit5, kPapCtg}};
    for (const auto& [edit, column] : bound) {
        edit->setText(m_paper.isOpen() ? m_paper.asString(column) : QString());
        edit->setModified(false);
        edit->setCursorPosition(0);
    }
}

void TEditor::UpdateRecord() {
    // Only the boxes the user changed are written, so that a box never
    // rewrites a value it merely shows.
    const std::pair<QLineEdit*, QString> bound[] = {
        {DBEdit2, kPapScr}, {DBEdit3, kPapNam}, {DBEdit4, kPapSav}, {DBEdit5, kPapCtg}};
    for (const auto& [edit, column] : bound) {
        if (!edit->isModified())
            continue;
        m_paper.edit();
        m_paper.setString(column, edit->text());
        edit->setModified(false);
    }
}

void TEditor::postAndEdit() {
    m_paper.post();
    m_posted = true;
    loadBoxes();
    m_paper.edit();
}

void TEditor::setBoxAndPost(QLineEdit* box, const QString& column, const QString& value) {
    // What was typed in the other boxes goes into the record with it.
    UpdateRecord();
    m_paper.edit();
    box->setText(value);
    box->setModified(false);
    m_paper.setString(column, value);
    postAndEdit();
}

void TEditor::BtnSelDirClick() {
    const QString path = tess::Prompts::instance().saveFile(this, tess::FileDialogKind::Page,
                                                            m_startFolder, tess::pageFileFilter());
    if (!path.isEmpty())
        setBoxAndPost(DBEdit4, kPapSav, path);
}

void TEditor::BtnSelCtgClick() {
    m_categories.open();
    if (CBPapCtg->count() == 0 && CBPapCtg->isEnabled()) {
        CBPapCtg->clear();
        for (m_categories.first(); !m_categories.eof(); m_categories.next()) {
            const QString category = m_categories.asString(QStringLiteral("PapCtg"));
            if (!category.isEmpty())
                CBPapCtg->addItem(category);
        }
        m_categories.close();
        CBPapCtg->setEnabled(CBPapCtg->count() > 0);
        if (CBPapCtg->isEnabled())
            CBPapCtg->setCurrentIndex(0);
    }
    if (CBPapCtg->isHidden())
        CBPapCtg->setVisible(CBPapCtg->isEnabled());
    else
        CBPapCtg->hide();
}

void TEditor::CBPapCtgChange(int index) {
    if (index < 0)
        return;
    setBoxAndPost(DBEdit5, kPapCtg, CBPapCtg->itemText(index));
    CBPapCtg->hide();
}

void TEditor::OKBtnClick() {
    bool ok = false;
    m_guard([this, &ok] {
        UpdateRecord();
        m_paper.post();
        m_posted = true;
        ok = true;
    });
    if (ok) {
        accept();
        return;
    }
    // The record was refused (a full mark that is no whole number, most
    // likely): stay open so that nothing typed is lost and it can be mended.
    DBEdit2->setFocus();
    DBEdit2->selectAll();
}

// With no cancel button, Esc would throw away what was typed since the last
// post without a word; only the close box cancels.
void TEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TEditor::done(int result) {
    m_categories.close();
    QDialog::done(result);
}
