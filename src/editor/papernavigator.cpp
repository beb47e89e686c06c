// The paper navigator: the category filter, the paper list and the
// information panel, and how the selected paper drives the question cursor.
#include "editor/papernavigator.h"

#include "bank/paperbank.h"
#include "frame/frame.h"
#include "store/pagestyle.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

const QString kAllPapers = QStringLiteral("所有试卷");

// Paints the grid line under every entry; names shown on one line.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight).darker(115));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(option.fontMetrics.height() + 5);
        return size;
    }

    QString displayText(const QVariant& value, const QLocale& locale) const override {
        QString text = QStyledItemDelegate::displayText(value, locale);
        text.replace(QChar::LineSeparator, QLatin1Char(' '));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return text;
    }
};

// Forwards chosen events of a widget to a function.
class EventHook : public QObject {
public:
    EventHook(QObject* watched, std::function<void(QEvent*)> fn)
        : QObject(watched), m_fn(std::move(fn)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent())
            m_fn(event);
        return false;
    }

private:
    std::function<void(QEvent*)> m_fn;
};

QFont listFont() {
    // 宋体 where it is installed; otherwise a Chinese face that is.
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(15);
    return font;
}

} // namespace

namespace tess {

PaperNavigator::PaperNavigator(Frame& frame, PaperBank& bank, const PaperCommands& commands,
                               QWidget* parent)
    : QWidget(parent), m_frame(frame), m_bank(bank), m_commands(commands) {
    setObjectName(QStringLiteral("PnlLeft"));
    setAutoFillBackground(true);
    setPalette(QApplication::palette());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_bank.QPapCtg.setSql(
        QStringLiteral("select distinct PapCtg from paper where PapCtg is not null"));
    m_bank.shownCategory = [this] { return ShownCategory(); };
    createPanel();

    connect(CBPaperClass, &QComboBox::activated, this,
            [this] { m_frame.Guarded([this] { CBPaperClassChange(); }); });
    connect(ListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                // Every entry whose state changed, the one losing it first.
                for (const QItemSelection* change : {&deselected, &selected})
                    for (const QModelIndex& index : change->indexes())
                        m_frame.Guarded([this, row = index.row()] { ListViewSelectItem(row); });
            });
    connect(EditPaperFilter, &QLineEdit::textChanged, this,
            [this] { m_frame.Guarded([this] { EditPaperFilterChange(); }); });
    new EventHook(EditPaperFilter, [this](QEvent* event) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            EditPaperFilter->clear();
    });
    // Anywhere on the list, also below the last entry.
    new EventHook(ListView->viewport(), [this](QEvent* event) {
        if (event->type() == QEvent::MouseButtonDblClick)
            m_frame.Guarded([this] { ListViewDblClick(); });
    });

    TableCursor& paper = m_bank.TPaper;
    paper.addHandler(CursorEvent::BeforeClose, [this] { TPaperBeforeClose(); });
    paper.addHandler(CursorEvent::AfterOpen, [this] { TPaperAfterOpen(); });
    m_paperView = paper.addView([this](ViewChange change, int) {
        if (change == ViewChange::Detached || change == ViewChange::UpdateRecord)
            return;
        ShowPaperInfo();
        if (change == ViewChange::DataChange)
            DSPaperDataChange();
    });

    m_frame.ConnectBankCommand(m_commands.newPaper, [this] { OnNewPaperExecute(); });
    m_frame.ConnectBankCommand(m_commands.editPaper, [this] { OnEditPaperExecute(); });
    m_frame.ConnectBankCommand(m_commands.delPaper, [this] { OnDelPaperExecute(); });
    m_frame.ConnectBankCommand(m_commands.delAllPaper, [this] { OnDelAllPaperExecute(); });
    m_frame.ConnectBankCommand(m_commands.delAllQuestion, [this] { OnDelAllQuestionExecute(); });
    m_commands.delPaper->setEnabled(false);
}

void PaperNavigator::createPanel() {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());

    CBPaperClass = new QComboBox(this);
    CBPaperClass->setObjectName(QStringLiteral("CBPaperClass"));
    CBPaperClass->setAccessibleName(QStringLiteral("试卷类别"));
    CBPaperClass->setEditable(false);
    CBPaperClass->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    CBPaperClass->setMinimumContentsLength(4);
    layout->addWidget(CBPaperClass);

    EditPaperFilter = new QLineEdit(this);
    EditPaperFilter->setObjectName(QStringLiteral("EditPaperFilter"));
    EditPaperFilter->setAccessibleName(QStringLiteral("按名称筛选试卷"));
    EditPaperFilter->setPlaceholderText(QStringLiteral("按名称筛选试卷"));
    EditPaperFilter->setToolTip(QStringLiteral("只列出名称中含有这些文字的试卷; 按 Esc 清除"));
    EditPaperFilter->setClearButtonEnabled(true);
    layout->addWidget(EditPaperFilter);

    PaperListModel = new tess::PaperListModel(this);
    ListView = new QListView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setAccessibleName(QStringLiteral("试卷列表"));
    ListView->setModel(PaperListModel);
    ListView->setItemDelegate(new GridLineDelegate(ListView));
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setUniformItemSizes(true);
    ListView->setTextElideMode(Qt::ElideRight);
    ListView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView->setFont(listFont());
    // The selection stays visible while the focus is elsewhere.
    QPalette palette = ListView->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    ListView->setPalette(palette);
    layout->addWidget(ListView, 1);

    auto* info = new QFrame(this);
    info->setObjectName(QStringLiteral("PnlPaperInfo"));
    info->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    info->setFixedHeight(104);
    // The pane lies on the grey work area; the panel has the window colour.
    QPalette infoPalette = info->palette();
    infoPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    info->setPalette(infoPalette);
    info->setAutoFillBackground(true);
    auto* infoLayout = new QGridLayout(info);
    infoLayout->setContentsMargins(4, 4, 4, 4);
    infoLayout->setHorizontalSpacing(4);
    infoLayout->setVerticalSpacing(2);
    const QStringList captions = {QStringLiteral("名称:"), QStringLiteral("满分:"),
                                  QStringLiteral("生成为:"), QStringLiteral("样式:")};
    QLabel** texts[] = {&DBText1, &DBText2, &DBText3, &DBText4};
    for (int row = 0; row < 4; ++row) {
        auto* caption = new QLabel(captions[row], info);
        infoLayout->addWidget(caption, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        auto* text = new QLabel(info);
        text->setObjectName(QStringLiteral("DBText%1").arg(row + 1));
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(false);
        // A long name or path is cut by the pane, not widening it.
        text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        text->setMouseTracking(true);
        infoLayout->addWidget(text, row, 1);
        new EventHook(text, [this, text](QEvent* event) {
            if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter ||
                event->type() == QEvent::ToolTip)
                DBTextMouseMove(text);
        });
        *texts[row] = text;
    }
    infoLayout->setColumnStretch(1, 1);
    layout->addWidget(info);
    // The pane is cut rather than holding the work area open when the window
    // is made very low.
    ListView->setMinimumHeight(0);
    setMinimumHeight(1);
}

void PaperNavigator::RefreshPaperList() {
    m_bank.TQuestion.close();
    m_bank.TChoice.close();
    PaperListModel->clear();
    // Rows no other program has changed since they were read are the bank's
    // rows: at sign-in the paper cursor has only just read them. Changes of
    // this window's own that do not go through the paper cursor close it first.
    if (m_bank.TPaper.rowsOutdated()) {
        m_bank.TPaper.close();
        m_bank.TPaper.open();
    }
    // Read without moving the cursor, so that no paper's questions are
    // loaded on the way; the cursor then goes to its first record.
    PaperEntries entries;
    const int count = m_bank.TPaper.recordCount();
    entries.reserve(count);
    const int name = m_bank.TPaper.columnIndex(QStringLiteral("PapNam"));
    const int id = m_bank.TPaper.columnIndex(QStringLiteral("PapID"));
    for (int row = 0; row < count; ++row)
        entries.append(m_bank.TPaper.valueAt(row, id).toInt(), [&](PackedArray<char>& names) {
            m_bank.TPaper.appendUtf8At(row, name, names);
        });
    PaperListModel->setEntries(std::move(entries));
    m_bank.TPaper.first();
    // The first entry is selected below: its questions are the ones read.
    const int first = PaperListModel->papIdAt(0);
    if (first >= 0 && first != m_bank.CurPapID)
        m_bank.TQuestion.setFilter(QStringLiteral("PapIdx = ") + QString::number(first));
    m_bank.TQuestion.open();
    m_bank.TChoice.open();
    if (PaperListModel->rowCount() > 0)
        SelectPaperRow(0);
    EnablePaperCommands();
    // The list shows the bank as it is now.
    m_seenVersion = m_bank.Conn.dataVersion();
}

void PaperNavigator::EnablePaperCommands() {
    const bool any = PaperListModel->rowCount() > 0;
    m_commands.delPaper->setEnabled(any);
    Q_EMIT papersListed(any);
}

void PaperNavigator::SelectPaper(const QString& papId) {
    if (m_bank.TPaper.isOpen()) {
        // The question cursor reads the paper's questions once, under the new filter.
        const QScopedValueRollback<bool> hold(m_holdQuestions, true);
        m_bank.TPaper.locate(QStringLiteral("PapID"), papId);
    }
    m_bank.TQuestion.setFilter(QStringLiteral("PapIdx = ") + papId);
    // A reopening that failed before (the bank was busy) left it closed.
    if (!m_bank.TQuestion.isOpen() && m_bank.TPaper.isOpen())
        m_bank.TQuestion.open();
}

void PaperNavigator::RefreshPaperClasses() {
    const QString chosen = ShownCategory();
    m_bank.QPapCtg.close();
    m_bank.QPapCtg.open();
    QStringList entries{kAllPapers};
    for (m_bank.QPapCtg.first(); !m_bank.QPapCtg.eof(); m_bank.QPapCtg.next()) {
        const QString category = m_bank.QPapCtg.asString(QStringLiteral("PapCtg"));
        if (!category.isEmpty())
            entries << category;
    }
    m_bank.QPapCtg.close();
    CBPaperClass->clear();
    CBPaperClass->addItems(entries);
    // The category chosen before stays chosen while papers still have it, so
    // that the drop-down keeps naming what the list shows. When it has gone,
    // all papers are shown again, with "所有试卷" chosen.
    const int again = chosen.isEmpty() ? -1 : int(entries.indexOf(chosen, 1));
    if (again > 0) {
        CBPaperClass->setCurrentIndex(again);
        return;
    }
    CBPaperClass->setCurrentIndex(0);
    if (!chosen.isEmpty())
        m_bank.TPaper.setFilter(QString());
}

QString PaperNavigator::ShownCategory() const {
    return CBPaperClass->currentIndex() > 0 ? CBPaperClass->currentText() : QString();
}

void PaperNavigator::Clear() {
    PaperListModel->clear();
    CBPaperClass->clear();
    m_seenVersion = -1;
    ShowPaperInfo();
    EnablePaperCommands();
}

void PaperNavigator::CBPaperClassChange() {
    const QString text = CBPaperClass->currentText();
    const QString category = text == kAllPapers ? QString() : text;
    m_bank.TPaper.close();
    if (category.isEmpty())
        m_bank.TPaper.setFilter(QString());
    else
        m_bank.TPaper.setFilter(QStringLiteral("PapCtg = ") + sqlText(category));
    RefreshPaperList();
}

void PaperNavigator::EditPaperFilterChange() {
    {
        // The reset of the list drops its selection; the paper stays as it is.
        const QScopedValueRollback<bool> restoring(m_restoringSelection, true);
        PaperListModel->setNameFilter(EditPaperFilter->text());
    }
    const int row = PaperListModel->rowOf(m_bank.CurPapID);
    if (row >= 0) {
        const QScopedValueRollback<bool> restoring(m_restoringSelection, true);
        SelectPaperRow(row);
    } else {
        SelectPaperRow(0);
    }
    EnablePaperCommands();
}

void PaperNavigator::ClearNameFilter() {
    EditPaperFilter->clear();
}

void PaperNavigator::ListViewSelectItem(int row) {
    const int papId = PaperListModel->papIdAt(row);
    if (m_restoringSelection || row < 0 || row >= PaperListModel->rowCount() ||
        papId == m_bank.CurPapID)
        return;
    try {
        SelectPaper(QString::number(papId));
    } catch (...) {
        // The list, the paper cursor and CurPapID must keep naming one paper,
        // or a command would act on a paper the teacher does not see: go back
        // to the paper selected before, then report what failed.
        const QScopedValueRollback<bool> restoring(m_restoringSelection, true);
        SelectPaperRow(PaperListModel->rowOf(m_bank.CurPapID));
        try {
            if (m_bank.TPaper.isOpen())
                m_bank.TPaper.locate(QStringLiteral("PapID"), QString::number(m_bank.CurPapID));
        } catch (...) {
            // The first failure is the one to report.
        }
        throw;
    }
    m_bank.CurPapID = papId;
    Q_EMIT paperSelected(papId);
}

void PaperNavigator::ListViewDblClick() {
    m_commands.editPaper->trigger();
}

void PaperNavigator::DSPaperDataChange() {
    // Closed while the list is refilled; it is opened again at its end.
    if (!m_bank.TQuestion.isOpen() || m_holdQuestions)
        return;
    m_bank.TQuestion.close();
    m_bank.TQuestion.open();
}

void PaperNavigator::DBTextMouseMove(QLabel* label) {
    label->setToolTip(label->text());
    label->setStatusTip(label->text());
}

void PaperNavigator::TPaperBeforeClose() {
    m_bank.TPaper.suspendViews();
}

void PaperNavigator::TPaperAfterOpen() {
    m_bank.TPaper.resumeViews();
}

void PaperNavigator::ShowPaperInfo() {
    const bool current = m_bank.TPaper.isOpen() && m_bank.TPaper.recNo() >= 0;
    auto show = [this, current](QLabel* label, const char* column) {
        // One line per row of the panel, whatever the text holds.
        QString text = current ? m_bank.TPaper.asString(QLatin1String(column)) : QString();
        text.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        label->setText(text);
    };
    show(DBText1, "PapNam");
    show(DBText2, "PapScr");
    show(DBText3, "PapSav");
    DBText4->setText(current ? styleText(m_bank.TPaper.asInteger(QStringLiteral("PapID")))
                             : QString());
}

QString PaperNavigator::styleText(int papId) const {
    PaperStyle style;
    try {
        style = readPaperStyle(m_bank.Conn, papId);
    } catch (const std::exception&) {
        // The panel only shows; a bank that cannot answer now shows nothing.
        return QString();
    }
    QString text = pageStyleName(style.style);
    if (style.style == PageStyle::Phone) {
        QStringList options;
        if (style.shuffleChoices)
            options << QStringLiteral("选项乱序");
        if (style.shuffleQuestions)
            options << QStringLiteral("题目乱序");
        if (style.timeLimit > 0)
            options << QStringLiteral("限时%1分钟").arg(style.timeLimit);
        if (!options.isEmpty())
            text += QStringLiteral(" (") + options.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    return text;
}

int PaperNavigator::SelectedPaperRow() const {
    const QModelIndexList rows = ListView->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::optional<PaperEntry> PaperNavigator::SelectedPaper() const {
    const int row = SelectedPaperRow();
    if (row < 0)
        return std::nullopt;
    return PaperEntry{PaperListModel->index(row).data(Qt::DisplayRole).toString(),
                      PaperListModel->papIdAt(row)};
}

void PaperNavigator::SelectPaperRow(int row) {
    QItemSelectionModel* selection = ListView->selectionModel();
    if (row < 0 || row >= PaperListModel->rowCount()) {
        selection->clear();
        return;
    }
    const QModelIndex index = PaperListModel->index(row);
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    ListView->scrollTo(index);
}

} // namespace tess
