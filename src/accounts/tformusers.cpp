#include "accounts/tformusers.h"

#include "bank/passwordhash.h"
#include "accounts/tformnewuser.h"
#include "editor/cursortablemodel.h"
#include "frame/prompts.h"
#include "store/connection.h"
#include "store/query.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kAdmin = QStringLiteral("Admin");
const QString kAcount = QStringLiteral("acount");
const QString kPassword = QStringLiteral("password");

} // namespace

TFormUsers::TFormUsers(QWidget* parent, tess::Connection& connection, Guard guard)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      UserTable(connection, QStringLiteral("users")), m_connection(connection),
      m_guard(std::move(guard)) {
    setObjectName(QStringLiteral("FormUsers"));
    setWindowTitle(QStringLiteral("用户管理"));
    UserTable.setFilter(QStringLiteral("acount <> ") + tess::sqlText(kAdmin));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setAccessibleName(QStringLiteral("所有用户"));
    PageControl1->tabBar()->setAccessibleName(QStringLiteral("所有用户"));
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    page->setAccessibleName(QStringLiteral("所有用户"));
    PageControl1->addTab(page, QStringLiteral("所有用户"));

    m_model = new tess::CursorTableModel(
        UserTable, {tess::GridColumn{kAcount, QStringLiteral("用户名"), 385}}, this);
    DBGrid1 = new QTableView(page);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("用户列表"));
    DBGrid1->setModel(m_model);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setTabKeyNavigation(false);
    DBGrid1->setWordWrap(false);
    DBGrid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DBGrid1->horizontalHeader()->resizeSection(0, 385);
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->verticalHeader()->setFixedWidth(12); // the record indicator's column
    // The selected account stays marked while the buttons have the focus.
    QPalette palette = DBGrid1->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    DBGrid1->setPalette(palette);

    Button3 = new QPushButton(QStringLiteral("新建用户"), page);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setAccessibleName(QStringLiteral("新建用户"));
    Button4 = new QPushButton(QStringLiteral("删除此用户"), page);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setAccessibleName(QStringLiteral("删除此用户"));
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }

    auto* pageButtons = new QHBoxLayout;
    pageButtons->addWidget(Button3);
    pageButtons->addWidget(Button4);
    pageButtons->addStretch(1);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(8, 8, 8, 8);
    pageLayout->setSpacing(8);
    pageLayout->addWidget(DBGrid1, 1);
    pageLayout->addLayout(pageButtons);

    BtnClose = new QPushButton(QStringLiteral("关闭"), this);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setAccessibleName(QStringLiteral("关闭"));
    BtnClose->setAutoDefault(false);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(BtnClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 10);
    layout->setSpacing(10);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(bottom);

    // The list's current record is the cursor's: a click moves the cursor,
    // and a move of the cursor (open, a new account, a deletion) marks its row.
    // While the cursor itself changes the rows, the view's own moves of its
    // current row are not the user's and must not move the cursor back into it.
    auto changing = [this](bool on) { return [this, on] { m_rowsChanging = on; }; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, changing(true));
    connect(m_model, &QAbstractItemModel::rowsInserted, this, changing(false));
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing(true));
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, changing(false));
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, changing(true));
    connect(m_model, &QAbstractItemModel::modelReset, this, changing(false));
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (m_rowsChanging || UserTable.isEditing() || !current.isValid() ||
                    current.row() == UserTable.recNo())
                    return;
                m_guard([&] { UserTable.moveTo(current.row()); });
            });
    connect(m_model, &tess::CursorTableModel::currentRowChanged, this,
            &TFormUsers::selectCurrentRow);

    connect(Button3, &QPushButton::clicked, this, [this] { m_guard([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { m_guard([this] { Button4Click(); }); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too

    setFixedSize(440, 360);
}

TFormUsers::~TFormUsers() {
    // The list lets go of the cursor before the cursor goes.
    DBGrid1->setModel(nullptr);
}

void TFormUsers::selectCurrentRow(int row) {
    QItemSelectionModel* selection = DBGrid1->selectionModel();
    if (row < 0) {
        selection->clear();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    DBGrid1->scrollTo(index);
}

void TFormUsers::Button3Click() {
    TFormNewUser dialog(this);
    const int result = dialog.exec();
    const QString name = dialog.EditName->text();
    const QString password = dialog.EditPassword->text();
    if (result != QDialog::Accepted || name.isEmpty())
        return;
    if (name == kAdmin) {
        // Silently doing nothing would let the teacher believe the
        // administrator's password had just been set here.
        tess::Prompts::instance().information(
            this, QStringLiteral("帐号 Admin 是系统管理员的帐号, 已经存在, 不能再新建. "
                                 "要修改它的密码, 请用 Admin 登陆后选择\"修改用户密码...\" (F5)."));
        return;
    }
    // A refused record must not stay behind half made: the error is reported
    // by the caller's handler and the list shows what the bank holds.
    auto dropOnFailure = qScopeGuard([this] {
        if (UserTable.isEditing())
            UserTable.cancel();
    });
    UserTable.insert();
    UserTable.setString(kAcount, name);
    UserTable.setString(kPassword, tess::passwordToStore(m_connection, password));
    UserTable.post();
}

void TFormUsers::Button4Click() {
    // Nothing to delete is no error; a deletion the bank refuses is reported.
    if (!UserTable.isOpen() || UserTable.isEmpty() || UserTable.recNo() < 0)
        return;
    UserTable.remove();
}
