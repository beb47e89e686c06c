#include "search/tformsearch.h"

#include "bank/bankpictures.h"
#include "bank/paperbank.h"
#include "bank/pictures.h"
#include "bank/textindex.h"
#include "editor/papernavigator.h"
#include "exchange/bankexchange.h"
#include "frame/frame.h"
#include "frame/waitcursor.h"
#include "print/boundedhtml.h"
#include "print/folderpictures.h"
#include "settings/programfiles.h"
#include "store/engineerror.h"
#include "store/questionkind.h"
#include "store/statement.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tess {

namespace {

const QString kAnyType = QStringLiteral("所有题型");
const QString kAnyCategory = QStringLiteral("所有类别");

// A text longer than this is cut in the preview: what another program wrote
// into the bank must not hold up the window.
constexpr qsizetype kLongestPreview = 20000;

QString previewText(const QString& html) {
    // Tables nested hundreds deep would hold the window for good: flattened
    // as for print.
    return print::boundHtml(html.left(kLongestPreview)).html;
}

} // namespace

void indexBankTexts(Frame& frame, Connection& connection) {
    // A shared bank cannot be changed by anyone while its index is built.
    if (connection.isServer() &&
        !frame.AskYesNo(QStringLiteral("这个试题库还没有检索用的索引. 现在建立吗?\n\n建立期间 "
                                       "(题库很大时需要几分钟) 其他老师暂时不能修改试题库; 也可以"
                                       "选\"否\", 在大家不用试题库时再建. 没有索引时检索照样可用, "
                                       "只是慢一些."))) {
        frame.AddMessage(QStringLiteral("检索索引没有建立: 检索仍然可用, 只是慢一些; "
                                        "下次打开题库或检索时会再问."));
        return;
    }
    QProgressDialog progress(QStringLiteral("正在为题库建立检索用的索引. 题库很大时需要几分钟, "
                                            "以后按文字检索题目就会很快."),
                             QStringLiteral("以后再建"), 0, 1000, frame.FrameWidget());
    progress.setObjectName(QStringLiteral("ProgressIndex"));
    progress.setWindowTitle(QStringLiteral("建立检索索引"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    const WaitCursor wait;
    bool built = false;
    try {
        built = buildTextIndex(connection, [&](qint64 done, qint64 total) {
            progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            return !progress.wasCanceled();
        });
    } catch (const EngineError& e) {
        frame.AddMessage(QStringLiteral("错误: 无法建立检索索引: ") + e.message() +
                         QStringLiteral(" 检索仍然可用, 只是慢一些."));
        return;
    }
    if (!built)
        frame.AddMessage(QStringLiteral("检索索引没有建立: 检索仍然可用, 只是慢一些; "
                                        "下次打开题库或检索时会再建."));
}

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

    GridHits = new QTableWidget(0, 6, this);
    GridHits->setObjectName(QStringLiteral("GridHits"));
    GridHits->setAccessibleName(QStringLiteral("检索结果"));
    GridHits->setHorizontalHeaderLabels({QStringLiteral("试卷"), QStringLiteral("题号"),
                                         QStringLiteral("题型"), QStringLiteral("分值"),
                                         QStringLiteral("同题数"), QStringLiteral("题目")});
    GridHits->horizontalHeaderItem(4)->setToolTip(
        QStringLiteral("题库中题目文字与这道题相同的题数 (含这道题)"));
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
    GridHits->setColumnWidth(4, 60);
    TextPreview = new QTextBrowser(this);
    // Texts of the bank may come from another program: the preview reads
    // nothing but the pictures of the pictures folder that they name.
    m_previewPictures = std::make_unique<print::FolderPictures>(ProgramFiles::PicturesFolder());
    m_previewShown = std::make_unique<print::FolderPictureObject>(*m_previewPictures);
    TextPreview->setDocument(
        new print::FolderPictureDocument(*m_previewPictures, m_previewShown.get(), TextPreview));
    TextPreview->setObjectName(QStringLiteral("TextPreview"));
    TextPreview->setAccessibleName(QStringLiteral("题目预览"));
    TextPreview->setOpenLinks(false);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("SplitterPreview"));
    split->addWidget(GridHits);
    split->addWidget(TextPreview);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);

    auto* buttons = new QHBoxLayout;
    LabelCount = new QLabel(this);
    LabelCount->setObjectName(QStringLiteral("LabelCount"));
    BtnSelectAll = new QPushButton(QStringLiteral("全部选中(&A)"), this);
    BtnSelectAll->setObjectName(QStringLiteral("BtnSelectAll"));
    BtnSelectAll->setAccessibleName(QStringLiteral("选中找到的全部题目"));
    BtnSelectAll->setToolTip(
        QStringLiteral("列出并选中找到的全部题目 (最多 %1 道)").arg(kMostSelected));
    BtnCopy = new QPushButton(QStringLiteral("复制到当前试卷"), this);
    BtnCopy->setObjectName(QStringLiteral("BtnCopy"));
    BtnCopy->setAccessibleName(QStringLiteral("复制到当前试卷"));
    BtnMove = new QPushButton(QStringLiteral("移动到当前试卷"), this);
    BtnMove->setObjectName(QStringLiteral("BtnMove"));
    BtnMove->setAccessibleName(QStringLiteral("移动到当前试卷"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("BtnClose"));
    buttons->addWidget(LabelCount, 1);
    buttons->addWidget(BtnSelectAll);
    buttons->addWidget(BtnCopy);
    buttons->addWidget(BtnMove);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(BtnSearch, &QPushButton::clicked, this,
            [this] { m_frame.Guarded([this] { Search(); }); });
    for (QLineEdit* edit : {EditText, EditPaper})
        connect(edit, &QLineEdit::returnPressed, this,
                [this] { m_frame.Guarded([this] { Search(); }); });
    // The next screenful once the last row comes into sight.
    connect(GridHits->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (m_more && value >= GridHits->verticalScrollBar()->maximum())
            m_frame.Guarded([this] { LoadMore(); });
    });
    connect(GridHits, &QTableWidget::currentCellChanged, this,
            [this] { m_frame.Guarded([this] { ShowPreview(); }); });
    connect(BtnSelectAll, &QPushButton::clicked, this,
            [this] { m_frame.Guarded([this] { SelectAllFound(); }); });
    connect(BtnCopy, &QPushButton::clicked, this, [this] { TakeIntoPaper(false); });
    connect(BtnMove, &QPushButton::clicked, this, [this] { TakeIntoPaper(true); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    LabelCount->setText(QStringLiteral("输入文字或选择题型、类别后按\"检索\"."));
    LabelCount->setAccessibleName(QStringLiteral("检索结果的题数"));
}

// The preview and its document, which use the pictures, go first.
TFormSearch::~TFormSearch() {
    delete TextPreview;
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
    m_search = QuestionSearch{};
    m_search.text = EditText->text();
    m_search.type = CBType->currentIndex() > 0 ? CBType->currentText() : QString();
    m_search.category = CBCategory->currentIndex() > 0 ? CBCategory->currentText() : QString();
    m_search.paper = EditPaper->text();
    m_search.markFrom = SpinMarkFrom->value();
    m_search.markTo = SpinMarkTo->value();
    m_hits.clear();
    m_more = true;
    GridHits->clearContents();
    GridHits->setRowCount(0);
    TextPreview->clear();
    if (!m_bank.Conn.isReadOnly() && textIndexState(m_bank.Conn) == TextIndexState::Unbuilt)
        indexBankTexts(m_frame, m_bank.Conn);
    LoadMore();
}

void TFormSearch::LoadMore() {
    if (!m_more)
        return;
    QuestionSearch search = m_search;
    search.limit = kScreenful + 1; // one more tells that there are more
    if (!m_hits.isEmpty())
        search.after = m_hits.last().key();
    QVector<QuestionHit> hits;
    {
        const WaitCursor wait;
        hits = searchQuestions(m_bank.Conn, search);
    }
    m_more = hits.size() > kScreenful;
    if (m_more)
        hits.resize(kScreenful);
    const int first = int(m_hits.size());
    m_hits += hits;
    GridHits->setRowCount(int(m_hits.size()));
    for (int row = first; row < m_hits.size(); ++row) {
        const QuestionHit& hit = m_hits[row];
        const QStringList cells{hit.paperName,
                                QString::number(hit.number),
                                hit.type,
                                QString::number(hit.mark),
                                hit.sameText > 0 ? QString::number(hit.sameText) : QString(),
                                hit.text};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 0 || column == 5)
                item->setToolTip(cells[column].left(500));
            GridHits->setItem(row, column, item);
        }
    }
    if (first == 0 && !m_hits.isEmpty())
        GridHits->setCurrentCell(0, 0);
    ShowCount();
}

void TFormSearch::ShowCount() {
    LabelCount->setText(
        m_more ? QStringLiteral("已列出 %1 道题, 还有更多: 向下滚动列出.").arg(m_hits.size())
               : QStringLiteral("找到 %1 道题.").arg(m_hits.size()));
}

// The question as the page shows it: its text with its pictures, then its
// choices, the correct ones marked.
void TFormSearch::ShowPreview() {
    const int row = GridHits->currentRow();
    if (row < 0 || row >= m_hits.size()) {
        TextPreview->clear();
        return;
    }
    const QuestionHit& hit = m_hits[row];
    Statement question(m_bank.Conn,
                       QStringLiteral("select QstCon, IsTrue from question where QstID = ?1"),
                       QStringLiteral("[表 question]"));
    question.bind(1, hit.qstId);
    if (!question.step()) {
        TextPreview->setHtml(QStringLiteral("<p>这道题已经不在题库里了.</p>"));
        return;
    }
    QStringList pictures = picturesNamedIn(question.text(0));
    QString html = QStringLiteral("<p><b>%1</b> (%2 分)</p><div>%3</div>")
                       .arg(hit.type.toHtmlEscaped())
                       .arg(hit.mark)
                       .arg(previewText(question.text(0)));
    if (questionKindOf(hit.type) == QuestionKind::TrueFalse) {
        html += QStringLiteral("<p>答案: <b>%1</b></p>")
                    .arg(question.int64(1) ? QStringLiteral("正确") : QStringLiteral("错误"));
    } else {
        Statement choices(m_bank.Conn,
                          QStringLiteral("select ChcCon, IsTrue from choice where QstIdx = ?1 "
                                         "order by ChcIdx, ChcID"),
                          QStringLiteral("[表 choice]"));
        choices.bind(1, hit.qstId);
        html += QStringLiteral("<table cellspacing=\"4\">");
        for (int k = 0; choices.step(); ++k) {
            const bool correct = choices.int64(1) != 0;
            html +=
                QStringLiteral("<tr><td>%1%2.</td><td>%3</td></tr>")
                    .arg(correct ? QStringLiteral("<font color=\"#1a7f37\">✔</font> ") : QString())
                    .arg(k < 26 ? QString(QChar(u'A' + k)) : QString::number(k + 1))
                    .arg(previewText(choices.text(0)));
            pictures += picturesNamedIn(choices.text(0));
        }
        html += QStringLiteral("</table>");
    }
    // A server bank's pictures of this question come to this machine's folder
    // first (the view reads them as it lays the text out).
    fetchPicturesFromBank(m_bank.Conn, pictures, ProgramFiles::PicturesFolder());
    m_previewPictures->clear(); // fetched anew, or changed since
    TextPreview->setHtml(html);
}

void TFormSearch::SelectAllFound() {
    {
        const WaitCursor wait;
        while (m_more && m_hits.size() < kMostSelected)
            LoadMore();
    }
    GridHits->selectAll();
    if (m_more)
        LabelCount->setText(QStringLiteral("已选中前 %1 道题; 找到的还有更多, 一次最多选中 %1 道.")
                                .arg(m_hits.size()));
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
            std::unique_ptr<QProgressDialog> progress;
            if (ids.size() >= kCopyWithProgress) {
                progress = std::make_unique<QProgressDialog>(
                    (move ? QStringLiteral("正在把 %1 道题移动到试卷 \"%2\"...")
                          : QStringLiteral("正在把 %1 道题复制到试卷 \"%2\"..."))
                        .arg(ids.size())
                        .arg(paper->name),
                    QStringLiteral("取消"), 0, int(ids.size()), this);
                progress->setObjectName(QStringLiteral("ProgressCopy"));
                progress->setWindowModality(Qt::WindowModal);
                progress->setMinimumDuration(0);
            }
            taken = exchange::copyQuestionsTo(m_bank.Conn, ids, paper->papId, move,
                                              [&](qint64 done, qint64) {
                                                  if (!progress)
                                                      return true;
                                                  progress->setValue(int(done));
                                                  return !progress->wasCanceled();
                                              });
        }
        if (taken < 0) {
            m_frame.AddMessage(move ? QStringLiteral("已取消: 题目没有移动.")
                                    : QStringLiteral("已取消: 题目没有复制."));
            return;
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

} // namespace tess
