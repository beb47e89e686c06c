#include "search/tformcompose.h"

#include "bank/paperbank.h"
#include "editor/papernavigator.h"
#include "frame/frame.h"
#include "frame/waitcursor.h"
#include "store/questionkind.h"
#include "store/statement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tess {

namespace {

enum RowColumn { kTypeColumn, kCountColumn, kMarkColumn };

QString firstLine(const QString& text) {
    constexpr int kShown = 60;
    return text.size() > kShown ? text.left(kShown) + QStringLiteral("…") : text;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

TFormCompose::TFormCompose(Frame& frame, PaperBank& bank, PaperNavigator& navigator,
                           QWidget* parent)
    : QDialog(parent), m_frame(frame), m_bank(bank), m_navigator(navigator) {
    setObjectName(QStringLiteral("TFormCompose"));
    setWindowTitle(QStringLiteral("从题库组卷"));
    resize(980, 600);
    auto* layout = new QVBoxLayout(this);

    // The new paper.
    auto* paper = new QHBoxLayout;
    auto* nameLabel = new QLabel(QStringLiteral("新试卷名称(&N):"), this);
    EditName = new QLineEdit(this);
    EditName->setObjectName(QStringLiteral("EditName"));
    EditName->setAccessibleName(QStringLiteral("新试卷名称"));
    nameLabel->setBuddy(EditName);
    auto* categoryLabel = new QLabel(QStringLiteral("试卷类别(&C):"), this);
    CBPaperCategory = new QComboBox(this);
    CBPaperCategory->setObjectName(QStringLiteral("CBPaperCategory"));
    CBPaperCategory->setAccessibleName(QStringLiteral("新试卷类别"));
    CBPaperCategory->setEditable(true);
    CBPaperCategory->setInsertPolicy(QComboBox::NoInsert);
    CBPaperCategory->setMinimumContentsLength(12);
    categoryLabel->setBuddy(CBPaperCategory);
    paper->addWidget(nameLabel);
    paper->addWidget(EditName, 1);
    paper->addWidget(categoryLabel);
    paper->addWidget(CBPaperCategory);
    layout->addLayout(paper);

    auto* middle = new QHBoxLayout;
    auto* left = new QVBoxLayout;

    // What to draw.
    auto* rowsBox = new QGroupBox(QStringLiteral("要抽的题"), this);
    auto* rowsLayout = new QVBoxLayout(rowsBox);
    GridRows = new QTableWidget(0, 3, rowsBox);
    GridRows->setObjectName(QStringLiteral("GridRows"));
    GridRows->setAccessibleName(QStringLiteral("要抽的题型、题数和分值"));
    GridRows->setHorizontalHeaderLabels(
        {QStringLiteral("题型"), QStringLiteral("题数"), QStringLiteral("每题分值")});
    GridRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridRows->setSelectionMode(QAbstractItemView::SingleSelection);
    GridRows->verticalHeader()->hide();
    GridRows->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    GridRows->setMinimumHeight(120);
    rowsLayout->addWidget(GridRows);
    auto* rowButtons = new QHBoxLayout;
    BtnAddRow = button(rowsBox, "BtnAddRow", QStringLiteral("添加一行(&A)"));
    BtnRemoveRow = button(rowsBox, "BtnRemoveRow", QStringLiteral("删除选中的行"));
    LabelTotal = new QLabel(rowsBox);
    LabelTotal->setObjectName(QStringLiteral("LabelTotal"));
    rowButtons->addWidget(BtnAddRow);
    rowButtons->addWidget(BtnRemoveRow);
    rowButtons->addWidget(LabelTotal, 1);
    rowsLayout->addLayout(rowButtons);
    left->addWidget(rowsBox);

    // Where from.
    auto* sourcesBox = new QGroupBox(QStringLiteral("从哪里抽 (都不选: 整个题库)"), this);
    auto* sources = new QGridLayout(sourcesBox);
    auto* categoriesLabel = new QLabel(QStringLiteral("试卷类别:"), sourcesBox);
    ListCategories = new QListWidget(sourcesBox);
    ListCategories->setObjectName(QStringLiteral("ListCategories"));
    ListCategories->setAccessibleName(QStringLiteral("从这些类别的试卷中抽题"));
    categoriesLabel->setBuddy(ListCategories);
    auto* papersLabel = new QLabel(QStringLiteral("试卷名称含(&P):"), sourcesBox);
    EditPaperFilter = new QLineEdit(sourcesBox);
    EditPaperFilter->setObjectName(QStringLiteral("EditPaperFilter"));
    EditPaperFilter->setAccessibleName(QStringLiteral("列出名称中含这些文字的试卷"));
    EditPaperFilter->setClearButtonEnabled(true);
    papersLabel->setBuddy(EditPaperFilter);
    ListPapers = new QListWidget(sourcesBox);
    ListPapers->setObjectName(QStringLiteral("ListPapers"));
    ListPapers->setAccessibleName(QStringLiteral("从这些试卷中抽题"));
    LabelPapers = new QLabel(sourcesBox);
    LabelPapers->setObjectName(QStringLiteral("LabelPapers"));
    LabelPapers->setWordWrap(true);
    sources->addWidget(categoriesLabel, 0, 0);
    sources->addWidget(papersLabel, 0, 1);
    sources->addWidget(EditPaperFilter, 0, 2);
    sources->addWidget(ListCategories, 1, 0);
    sources->addWidget(ListPapers, 1, 1, 1, 2);
    sources->addWidget(LabelPapers, 2, 1, 1, 2);
    sources->setColumnStretch(0, 2);
    sources->setColumnStretch(2, 3);
    CheckExclude = new QCheckBox(QStringLiteral("不选当前试卷里已有的题"), sourcesBox);
    CheckExclude->setObjectName(QStringLiteral("CheckExclude"));
    CheckExclude->setAccessibleName(QStringLiteral("不选当前试卷里已有的题"));
    sources->addWidget(CheckExclude, 3, 0, 1, 3);
    left->addWidget(sourcesBox, 1);
    middle->addLayout(left, 4);

    // The draw.
    auto* drawBox = new QGroupBox(QStringLiteral("抽到的题"), this);
    auto* drawLayout = new QVBoxLayout(drawBox);
    GridDrawn = new QTableWidget(0, 4, drawBox);
    GridDrawn->setObjectName(QStringLiteral("GridDrawn"));
    GridDrawn->setAccessibleName(QStringLiteral("抽到的题"));
    GridDrawn->setHorizontalHeaderLabels({QStringLiteral("题型"), QStringLiteral("分值"),
                                          QStringLiteral("题目"), QStringLiteral("来自试卷")});
    GridDrawn->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridDrawn->setSelectionMode(QAbstractItemView::SingleSelection);
    GridDrawn->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridDrawn->setWordWrap(false);
    GridDrawn->verticalHeader()->setDefaultSectionSize(22);
    GridDrawn->setColumnWidth(0, 60);
    GridDrawn->setColumnWidth(1, 40);
    GridDrawn->setColumnWidth(2, 260);
    GridDrawn->horizontalHeader()->setStretchLastSection(true);
    drawLayout->addWidget(GridDrawn, 1);
    auto* drawButtons = new QHBoxLayout;
    BtnDraw = button(drawBox, "BtnDraw", QStringLiteral("抽题(&D)"));
    BtnDraw->setDefault(true);
    BtnRedrawOne = button(drawBox, "BtnRedrawOne", QStringLiteral("重抽选中的题(&R)"));
    BtnRedrawAll = button(drawBox, "BtnRedrawAll", QStringLiteral("全部重抽"));
    drawButtons->addWidget(BtnDraw);
    drawButtons->addWidget(BtnRedrawOne);
    drawButtons->addWidget(BtnRedrawAll);
    drawButtons->addStretch(1);
    drawLayout->addLayout(drawButtons);
    LabelStatus = new QLabel(drawBox);
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    LabelStatus->setWordWrap(true);
    LabelStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for a shortfall of three rows without the window moving.
    LabelStatus->setMinimumHeight(LabelStatus->fontMetrics().lineSpacing() * 4);
    LabelStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    drawLayout->addWidget(LabelStatus);
    middle->addWidget(drawBox, 5);
    layout->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout;
    BtnMake = button(this, "BtnMake", QStringLiteral("生成试卷(&M)"));
    auto* close = button(this, "BtnClose", QStringLiteral("关闭"));
    bottom->addStretch(1);
    bottom->addWidget(BtnMake);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    const auto guarded = [this](void (TFormCompose::*method)()) {
        return [this, method] { m_frame.Guarded([this, method] { (this->*method)(); }); };
    };
    connect(BtnAddRow, &QPushButton::clicked, this, [this] {
        // A new row starts as the one before it, as a new question does.
        const int last = GridRows->rowCount() - 1;
        if (last < 0) {
            AddRow(QStringLiteral("单选题"), 10, 2);
            return;
        }
        AddRow(static_cast<QComboBox*>(GridRows->cellWidget(last, kTypeColumn))->currentText(),
               static_cast<QSpinBox*>(GridRows->cellWidget(last, kCountColumn))->value(),
               static_cast<QSpinBox*>(GridRows->cellWidget(last, kMarkColumn))->value());
    });
    connect(BtnRemoveRow, &QPushButton::clicked, this, [this] { RemoveRow(); });
    connect(EditPaperFilter, &QLineEdit::textChanged, this, guarded(&TFormCompose::FillPapers));
    connect(ListCategories, &QListWidget::itemChanged, this, [this] { RequestChanged(); });
    connect(ListPapers, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int papId = item->data(Qt::UserRole).toInt();
        if (item->checkState() == Qt::Checked)
            m_chosenPapers.insert(papId);
        else
            m_chosenPapers.remove(papId);
        RequestChanged();
    });
    connect(CheckExclude, &QCheckBox::toggled, this, [this] { RequestChanged(); });
    connect(BtnDraw, &QPushButton::clicked, this, guarded(&TFormCompose::Draw));
    connect(BtnRedrawAll, &QPushButton::clicked, this, guarded(&TFormCompose::Draw));
    connect(BtnRedrawOne, &QPushButton::clicked, this, guarded(&TFormCompose::RedrawOne));
    connect(BtnMake, &QPushButton::clicked, this, guarded(&TFormCompose::MakePaper));
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    AddRow(QStringLiteral("单选题"), 10, 2);
}

void TFormCompose::AddRow(const QString& type, int count, int mark) {
    const int row = GridRows->rowCount();
    GridRows->insertRow(row);
    auto* typeBox = new QComboBox(GridRows);
    typeBox->setObjectName(QStringLiteral("CBRowType%1").arg(row));
    typeBox->setAccessibleName(QStringLiteral("第 %1 行的题型").arg(row + 1));
    typeBox->addItems(questionTypeWords());
    typeBox->setCurrentText(type);
    auto spin = [this, row](const char* name, const QString& accessible, int max, int value) {
        auto* box = new QSpinBox(GridRows);
        box->setObjectName(QLatin1String(name) + QString::number(row));
        box->setAccessibleName(accessible.arg(row + 1));
        box->setRange(1, max);
        box->setValue(value);
        return box;
    };
    auto* countBox = spin("SpinRowCount", QStringLiteral("第 %1 行的题数"), 500, count);
    auto* markBox = spin("SpinRowMark", QStringLiteral("第 %1 行每题的分值"), 1000, mark);
    GridRows->setCellWidget(row, kTypeColumn, typeBox);
    GridRows->setCellWidget(row, kCountColumn, countBox);
    GridRows->setCellWidget(row, kMarkColumn, markBox);
    connect(typeBox, &QComboBox::currentIndexChanged, this, [this] { RequestChanged(); });
    for (QSpinBox* box : {countBox, markBox})
        connect(box, &QSpinBox::valueChanged, this, [this] { RequestChanged(); });
    GridRows->selectRow(row);
    RequestChanged();
}

void TFormCompose::RemoveRow() {
    const int row = GridRows->currentRow();
    if (row < 0 || row >= GridRows->rowCount())
        return;
    GridRows->removeRow(row);
    RequestChanged();
}

ComposeRequest TFormCompose::Request() const {
    ComposeRequest request;
    for (int row = 0; row < GridRows->rowCount(); ++row)
        request.rows << ComposeRow{
            static_cast<QComboBox*>(GridRows->cellWidget(row, kTypeColumn))->currentText(),
            static_cast<QSpinBox*>(GridRows->cellWidget(row, kCountColumn))->value(),
            static_cast<QSpinBox*>(GridRows->cellWidget(row, kMarkColumn))->value()};
    for (int i = 0; i < ListCategories->count(); ++i)
        if (ListCategories->item(i)->checkState() == Qt::Checked)
            request.categories << ListCategories->item(i)->text();
    request.papers = QVector<int>(m_chosenPapers.begin(), m_chosenPapers.end());
    std::sort(request.papers.begin(), request.papers.end());
    return request;
}

// A draw belongs to the request it was drawn for: once the request changes,
// the teacher draws again.
void TFormCompose::RequestChanged() {
    int questions = 0;
    qint64 marks = 0;
    for (const ComposeRow& row : Request().rows) {
        questions += row.count;
        marks += qint64(row.count) * row.mark;
    }
    LabelTotal->setText(QStringLiteral("共 %1 道题, 满分 %2 分").arg(questions).arg(marks));
    if (!m_draw.questions.isEmpty() || !m_draw.shortfalls.isEmpty()) {
        m_draw = {};
        ShowDraw();
        ShowStatus(QStringLiteral("要抽的题改了, 请重新按\"抽题\"."), false);
    } else {
        ShowDraw();
    }
}

void TFormCompose::RefreshSources() {
    QSet<QString> chosen;
    for (int i = 0; i < ListCategories->count(); ++i)
        if (ListCategories->item(i)->checkState() == Qt::Checked)
            chosen.insert(ListCategories->item(i)->text());
    QStringList categories;
    {
        Statement stmt(m_bank.Conn,
                       QStringLiteral("select distinct PapCtg from paper where PapCtg is not null "
                                      "and PapCtg <> '' order by PapCtg"),
                       QStringLiteral("[表 paper]"));
        while (stmt.step())
            categories << stmt.text(0);
    }
    {
        const QSignalBlocker block(ListCategories);
        ListCategories->clear();
        for (const QString& category : std::as_const(categories)) {
            auto* item = new QListWidgetItem(category, ListCategories);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(chosen.contains(category) ? Qt::Checked : Qt::Unchecked);
        }
    }
    // The new paper's category: what the teacher typed, else the one the list shows.
    const QString typed = CBPaperCategory->currentText();
    CBPaperCategory->clear();
    CBPaperCategory->addItems(categories);
    const QString shown = m_navigator.ShownCategory();
    CBPaperCategory->setCurrentText(!typed.isEmpty()   ? typed
                                    : !shown.isEmpty() ? shown
                                                       : m_bank.Defaults.category);
    if (EditName->text().isEmpty())
        EditName->setText(m_bank.Defaults.name);
    FillPapers();
}

void TFormCompose::FillPapers() {
    Statement stmt(m_bank.Conn,
                   QStringLiteral("select PapID, PapNam, PapCtg from paper where ?1 = '' or "
                                  "instr(PapNam, ?1) > 0 order by PapID limit %1")
                       .arg(kMostPapers + 1),
                   QStringLiteral("[表 paper]"));
    stmt.bind(1, EditPaperFilter->text());
    int listed = 0;
    bool more = false;
    const QSignalBlocker block(ListPapers);
    ListPapers->clear();
    while (stmt.step()) {
        if (listed == kMostPapers) {
            more = true;
            break;
        }
        ++listed;
        const int papId = int(stmt.int64(0));
        const QString category = stmt.text(2);
        auto* item = new QListWidgetItem(
            category.isEmpty() ? stmt.text(1)
                               : QStringLiteral("%1 (%2)").arg(stmt.text(1), category),
            ListPapers);
        item->setData(Qt::UserRole, papId);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(m_chosenPapers.contains(papId) ? Qt::Checked : Qt::Unchecked);
    }
    QString text = more ? QStringLiteral("只列出前 %1 份, 请输入试卷名称中的文字.").arg(kMostPapers)
                        : QStringLiteral("列出 %1 份试卷.").arg(listed);
    if (!m_chosenPapers.isEmpty())
        text += QStringLiteral(" 已选 %1 份.").arg(m_chosenPapers.size());
    LabelPapers->setText(text);
}

void TFormCompose::ShowStatus(const QString& text, bool problem) {
    LabelStatus->setStyleSheet(problem ? QStringLiteral("color: #b00000;") : QString());
    LabelStatus->setText(text);
}

void TFormCompose::Draw() {
    ComposeRequest request = Request();
    if (request.rows.isEmpty()) {
        ShowStatus(QStringLiteral("请先添加一行, 写明要抽的题型、题数和每题的分值."), true);
        return;
    }
    if (CheckExclude->isChecked()) {
        if (!m_navigator.CatchUp())
            return;
        if (const std::optional<PaperEntry> current = m_navigator.SelectedPaper())
            request.excludePaper = current->papId;
    }
    ShowStatus(QStringLiteral("正在抽题..."), false);
    LabelStatus->repaint();
    {
        const WaitCursor wait; // a bank of a million questions takes a moment
        m_draw = drawQuestions(m_bank.Conn, request, QRandomGenerator::global()->generate());
    }
    m_request = request;
    ShowDraw();
    if (!m_draw.shortfalls.isEmpty())
        ShowStatus(QStringLiteral("题库里的题不够, 不能生成试卷:\n") +
                       m_draw.shortfalls.join(QLatin1Char('\n')),
                   true);
    else
        ShowStatus(QStringLiteral("抽到 %1 道题, 满分 %2 分. 可以重抽选中的题或全部重抽, "
                                  "满意后按\"生成试卷\".")
                       .arg(m_draw.questions.size())
                       .arg(m_draw.fullMark()),
                   false);
}

void TFormCompose::RedrawOne() {
    const int index = GridDrawn->currentRow();
    if (index < 0 || index >= m_draw.questions.size() ||
        !GridDrawn->selectionModel()->isRowSelected(index, QModelIndex())) {
        ShowStatus(QStringLiteral("请先在抽到的题中选中要重抽的一道题."), true);
        return;
    }
    bool replaced = false;
    {
        const WaitCursor wait;
        replaced = redrawOne(m_bank.Conn, m_request, m_draw, index,
                             QRandomGenerator::global()->generate());
    }
    if (!replaced) {
        ShowStatus(QStringLiteral("所选的类别和试卷里没有别的%1 (每题 %2 分) 可以换了.")
                       .arg(m_draw.questions[index].type)
                       .arg(m_draw.questions[index].mark),
                   true);
        return;
    }
    ShowDraw();
    GridDrawn->selectRow(index);
    ShowStatus(QStringLiteral("第 %1 道题换了一道.").arg(index + 1), false);
}

void TFormCompose::ShowDraw() {
    GridDrawn->clearContents();
    GridDrawn->setRowCount(int(m_draw.questions.size()));
    for (int row = 0; row < m_draw.questions.size(); ++row) {
        const DrawnQuestion& q = m_draw.questions[row];
        const QStringList cells{q.type, QString::number(q.mark),
                                q.text.isEmpty() ? QStringLiteral("(图片)") : firstLine(q.text),
                                q.paperName};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 2)
                item->setToolTip(q.text);
            if (column == 3)
                item->setToolTip(q.paperName);
            GridDrawn->setItem(row, column, item);
        }
    }
    const bool drawn = !m_draw.questions.isEmpty() || !m_draw.shortfalls.isEmpty();
    BtnRedrawOne->setEnabled(!m_draw.questions.isEmpty());
    BtnRedrawAll->setEnabled(drawn);
    BtnMake->setEnabled(m_draw.complete());
}

void TFormCompose::MakePaper() {
    if (!m_draw.complete()) {
        ShowStatus(QStringLiteral("还没有抽够题, 不能生成试卷. 请先按\"抽题\"."), true);
        return;
    }
    const QString name = EditName->text();
    if (name.trimmed().isEmpty()) {
        ShowStatus(QStringLiteral("请输入新试卷的名称."), true);
        EditName->setFocus();
        return;
    }
    if (!m_navigator.CatchUp())
        return;
    // What the teacher has just typed in the grids is saved first.
    m_bank.TPaper.checkBrowseMode();
    m_bank.TQuestion.checkBrowseMode();
    m_bank.TChoice.checkBrowseMode();
    const QString category = CBPaperCategory->currentText();
    int papId = 0;
    {
        const WaitCursor wait;
        papId = makeComposedPaper(m_bank.Conn, m_draw, name, category, m_bank.Defaults.outputFile);
    }
    // The new paper selected in the list, its questions in the grid: the list
    // shows its category, or all papers when it has none.
    m_navigator.EditPaperFilter->clear();
    m_navigator.RefreshPaperClasses();
    const QString shown = m_navigator.ShownCategory();
    if (!shown.isEmpty() && shown != category) {
        const int entry =
            category.isEmpty() ? 0 : std::max(0, m_navigator.CBPaperClass->findText(category));
        m_navigator.CBPaperClass->setCurrentIndex(entry);
        Q_EMIT m_navigator.CBPaperClass->activated(entry); // as if the teacher chose it
    } else {
        m_bank.TPaper.close();
        m_navigator.RefreshPaperList();
    }
    m_navigator.SelectPaperRow(m_navigator.PaperListModel->rowOf(papId));
    m_navigator.GiveDefaultStyle({papId});
    m_frame.AddMessage(QStringLiteral("已组成试卷 \"%1\": %2 道题, 满分 %3 分.")
                           .arg(name)
                           .arg(m_draw.questions.size())
                           .arg(m_draw.fullMark()));
    m_draw = {};
    ShowDraw();
    ShowStatus(QString(), false);
    close();
}

} // namespace tess
