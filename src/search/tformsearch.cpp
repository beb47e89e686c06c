#include "search/tformsearch.h"

#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "exchange/bankexchange.h"
#include "frame/frame.h"
#include "frame/waitcursor.h"
#include "store/questionkind.h"
#include "store/statement.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tess {

namespace {

const QString kAnyType = QStringLiteral("所有题型");
const QString kAnyCategory = QStringLiteral("所有类别");

} // namespace

TFormSearch::TFormSearch(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QWidget* parent)
    : QDialog(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    setObjectName(QStringLiteral("TFormSearch"));
    setWindowTitle(QStringLiteral("题库检索"));
    resize(860, 520);

    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    auto* textLabel = new QLabel(QStringLiteral("文字(&W):"), this);
    EditText = new QLineEdit(this);
    EditText->setObjectName(QStringLiteral("EditText"));
    EditText->setAccessibleName(QStringLiteral("要找的文字"));
    EditText->setPlaceholderText(QStringLiteral("题目或选项中的文字"));
    EditText->setClearButtonEnabled(true);
    textLabel->setBuddy(EditText);
    auto* typeLabel = new QLabel(QStringLiteral("题型(&T):"), this);
    CBType = new QComboBox(this);
    CBType->setObjectName(QStringLiteral("CBType"));
    CBType->setAccessibleName(QStringLiteral("题型"));
    CBType->addItems(QStringList{kAnyType} + questionTypeWords());
    typeLabel->setBuddy(CBType);
    auto* categoryLabel = new QLabel(QStringLiteral("类别(&C):"), this);
    CBCategory = new QComboBox(this);
    CBCategory->setObjectName(QStringLiteral("CBCategory"));
    CBCategory->setAccessibleName(QStringLiteral("试卷类别"));
    CBCategory->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    categoryLabel->setBuddy(CBCategory);
    BtnSearch = new QPushButton(QStringLiteral("检索(&S)"), this);
    BtnSearch->setObjectName(QStringLiteral("BtnSearch"));
    BtnSearch->setDefault(true);
    filters->addWidget(textLabel);
    filters->addWidget(EditText, 1);
    filters->addWidget(typeLabel);
    filters->addWidget(CBType);
    filters->addWidget(categoryLabel);
    filters->addWidget(CBCategory);
    filters->addWidget(BtnSearch);
    layout->addLayout(filters);

    auto* more = new QHBoxLayout;
    auto* paperLabel = new QLabel(QStringLiteral("试卷名称含(&P):"), this);
    EditPaper = new QLineEdit(this);
    EditPaper->setObjectName(QStringLiteral("EditPaper"));
    EditPaper->setAccessibleName(QStringLiteral("试卷名称中的文字"));
    EditPaper->setClearButtonEnabled(true);
    paperLabel->setBuddy(EditPaper);
    auto spin = [this](const char* name, const char* accessible) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setAccessibleName(QString::fromUtf8(accessible));
        box->setRange(-1, 99999);
        box->setValue(-1);
        box->setSpecialValueText(QStringLiteral("不限"));
        return box;
    };
    auto* fromLabel = new QLabel(QStringLiteral("分值从(&F):"), this);
    SpinMarkFrom = spin("SpinMarkFrom", "最低分值");
    fromLabel->setBuddy(SpinMarkFrom);
    auto* toLabel = new QLabel(QStringLiteral("到:"), this);
    SpinMarkTo = spin("SpinMarkTo", "最高分值");
    toLabel->setBuddy(SpinMarkTo);
    more->addWidget(paperLabel);
    more->addWidget(EditPaper, 1);
    more->addWidget(fromLabel);
    more->addWidget(SpinMarkFrom);
    more->addWidget(toLabel);
    more->addWidget(SpinMarkTo);
    layout->addLayout(more);

    GridHits = new QTableWidget(0, 5, this);
    GridHits->setObjectName(QStringLiteral("GridHits"));
    GridHits->setAccessibleName(QStringLiteral("检索结果"));
    GridHits->setHorizontalHeaderLabels({QStringLiteral("试卷"), QStringLiteral("题号"),
                                         QStringLiteral("题型"), QStringLiteral("分值"),
                                         QStringLiteral("题目")});
    GridHits->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridHits->setSelectionMode(QAbstractItemView::ExtendedSelection);
    GridHits->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridHits->setWordWrap(false);
    GridHits->verticalHeader()->hide();
    GridHits->horizontalHeader()->setStretchLastSection(true);
    GridHits->setColumnWidth(0, 160);
    GridHits->setColumnWidth(1, 50);
    GridHits->setColumnWidth(2, 70);
    GridHits->setColumnWidth(3, 50);
    layout->addWidget(GridHits, 1);

    auto* buttons = new QHBoxLayout;
    LabelCount = new QLabel(this);
    LabelCount->setObjectName(QStringLiteral("LabelCount"));
    BtnCopy = new QPushButton(QStringLiteral("复制到当前试卷"), this);
    BtnCopy->setObjectName(QStringLiteral("BtnCopy"));
    BtnMove = new QPushButton(QStringLiteral("移动到当前试卷"), this);
    BtnMove->setObjectName(QStringLiteral("BtnMove"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("BtnClose"));
    buttons->addWidget(LabelCount, 1);
    buttons->addWidget(BtnCopy);
    buttons->addWidget(BtnMove);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(BtnSearch, &QPushButton::clicked, this,
            [this] { m_frame.Guarded([this] { Search(); }); });
    for (QLineEdit* edit : {EditText, EditPaper})
        connect(edit, &QLineEdit::returnPressed, this,
                [this] { m_frame.Guarded([this] { Search(); }); });
    connect(BtnCopy, &QPushButton::clicked, this, [this] { TakeIntoPaper(false); });
    connect(BtnMove, &QPushButton::clicked, this, [this] { TakeIntoPaper(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    LabelCount->setText(QStringLiteral("输入文字或选择题型、类别后按\"检索\"."));
}

void TFormSearch::RefreshCategories() {
    const QString chosen = CBCategory->currentText();
    QStringList categories{kAnyCategory};
    Statement stmt(m_bank.Conn,
                   QStringLiteral("select distinct PapCtg from paper where PapCtg is not null "
                                  "and PapCtg <> '' order by PapCtg"),
                   QStringLiteral("[表 paper]"));
    while (stmt.step())
        categories << stmt.text(0);
    CBCategory->clear();
    CBCategory->addItems(categories);
    CBCategory->setCurrentIndex(std::max(0, int(categories.indexOf(chosen))));
}

void TFormSearch::Search() {
    QuestionSearch search;
    search.text = EditText->text();
    search.type = CBType->currentIndex() > 0 ? CBType->currentText() : QString();
    search.category = CBCategory->currentIndex() > 0 ? CBCategory->currentText() : QString();
    search.paper = EditPaper->text();
    search.markFrom = SpinMarkFrom->value();
    search.markTo = SpinMarkTo->value();
    search.limit = kMostListed + 1; // one more tells that there are more
    {
        const WaitCursor wait; // a bank of a million questions takes a moment
        m_hits = searchQuestions(m_bank.Conn, search);
    }
    const bool more = m_hits.size() > kMostListed;
    if (more)
        m_hits.resize(kMostListed);
    GridHits->clearContents();
    GridHits->setRowCount(int(m_hits.size()));
    for (int row = 0; row < m_hits.size(); ++row) {
        const QuestionHit& hit = m_hits[row];
        const QStringList cells{hit.paperName, QString::number(hit.number), hit.type,
                                QString::number(hit.mark), hit.text};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 0 || column == 4)
                item->setToolTip(cells[column]);
            GridHits->setItem(row, column, item);
        }
    }
    LabelCount->setText(more ? QStringLiteral("找到的题目超过 %1 道, 只列出前 %1 道; "
                                              "请多输入几个字或选择题型、类别.")
                                   .arg(kMostListed)
                             : QStringLiteral("找到 %1 道题.").arg(m_hits.size()));
}

QVector<int> TFormSearch::SelectedQuestions() const {
    QVector<int> ids;
    const QModelIndexList rows = GridHits->selectionModel()->selectedRows();
    QList<int> ordered;
    for (const QModelIndex& index : rows)
        ordered << index.row();
    std::sort(ordered.begin(), ordered.end());
    for (const int row : ordered)
        if (row >= 0 && row < m_hits.size())
            ids << m_hits[row].qstId;
    return ids;
}

void TFormSearch::TakeIntoPaper(bool move) {
    m_frame.Guarded([this, move] {
        const QVector<int> ids = SelectedQuestions();
        if (ids.isEmpty()) {
            m_frame.AddMessage(QStringLiteral("错误: 没有选中题目, 请先在检索结果中选择题目."));
            return;
        }
        // The paper the teacher sees selected, as it is in the bank now.
        if (!m_navigator.CatchUp())
            return;
        const std::optional<PaperEntry> paper = m_navigator.SelectedPaper();
        if (!paper) {
            m_frame.AddMessage(QStringLiteral("错误: 没有选中的试卷, 请先在主窗口的试卷列表中"
                                              "选择要放入题目的试卷."));
            return;
        }
        m_bank.TQuestion.checkBrowseMode();
        m_bank.TChoice.checkBrowseMode();
        int taken = 0;
        {
            const WaitCursor wait;
            taken = exchange::copyQuestionsTo(m_bank.Conn, ids, paper->papId, move);
        }
        // The paper's questions as the bank now holds them, the new ones last.
        m_bank.TQuestion.close();
        m_bank.TQuestion.open();
        m_bank.TQuestion.last();
        m_frame.AddMessage((move ? QStringLiteral("已把 %1 道题移动到试卷 \"%2\".")
                                 : QStringLiteral("已把 %1 道题复制到试卷 \"%2\"."))
                               .arg(taken)
                               .arg(paper->name));
        if (move)
            Search(); // the moved questions have new places
    });
}

SearchCommands::SearchCommands(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                               QAction* searchBank, QObject* parent)
    : QObject(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    frame.ConnectBankCommand(searchBank, [this] { OnSearchBankExecute(); });
}

void SearchCommands::OnSearchBankExecute() {
    if (!m_bank.Conn.isOpen())
        return;
    if (!m_window)
        m_window = new TFormSearch(m_frame, m_bank, m_navigator, m_frame.FrameWidget());
    m_window->RefreshCategories();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->EditText->setFocus();
    m_window->EditText->selectAll();
}

} // namespace tess
