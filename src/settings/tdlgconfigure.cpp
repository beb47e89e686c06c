#include "settings/tdlgconfigure.h"

#include "frame/prompts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TDlgConfigure::TDlgConfigure(QWidget* parent, const QString& exeFolder)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_exeFolder(exeFolder) {
    setObjectName(QStringLiteral("DlgConfigure"));
    setWindowTitle(QStringLiteral("系统参数设置"));

    auto* intro = new QLabel(
        QStringLiteral(
            "设置新生成试卷的缺省属性值.这些属性值可以在试卷生成之后通过双击试卷来改变."),
        this);
    intro->setWordWrap(true);

    auto makeEdit = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    EditID = makeEdit("EditID");
    EditID->setEnabled(false);
    EditMark = makeEdit("EditMark");
    EditName = makeEdit("EditName");
    EditFile = makeEdit("EditFile");
    EditClass = makeEdit("EditClass");
    // The two numbers are short; the texts take the width they are given.
    EditID->setMaximumWidth(120);
    EditMark->setMaximumWidth(120);

    BtnSelDir = new QPushButton(QStringLiteral("..."), this);
    BtnSelDir->setObjectName(QStringLiteral("BtnSelDir"));
    BtnSelDir->setAutoDefault(false);
    BtnSelDir->setFixedWidth(32);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(10);
    auto addRow = [&](int row, const QString& caption, QWidget* field, int span) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        fields->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        fields->addWidget(field, row, 1, 1, span);
    };
    addRow(0, QStringLiteral("试卷ID:"), EditID, 2);
    addRow(1, QStringLiteral("试卷满分:"), EditMark, 2);
    addRow(2, QStringLiteral("试卷名称:"), EditName, 2);
    addRow(3, QStringLiteral("试卷生成到:"), EditFile, 1);
    fields->addWidget(BtnSelDir, 3, 2);
    addRow(4, QStringLiteral("试卷类别:"), EditClass, 2);
    CBPapStyle = new QComboBox(this);
    CBPapStyle->setObjectName(QStringLiteral("CBPapStyle"));
    CBPapStyle->setAccessibleName(QStringLiteral("新试卷的页面样式"));
    CBPapStyle->addItem(tess::pageStyleName(tess::PageStyle::Classic));
    CBPapStyle->addItem(tess::pageStyleName(tess::PageStyle::Phone));
    CBPapStyle->setMaximumWidth(120);
    addRow(5, QStringLiteral("页面样式:"), CBPapStyle, 2);
    fields->setColumnStretch(1, 1);

    OKBtn = new QPushButton(QStringLiteral("确定"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("取消"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(14);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addStretch(1);
    layout->addLayout(buttons);

    setTabOrder(EditMark, EditName);
    setTabOrder(EditName, EditFile);
    setTabOrder(EditFile, EditClass);
    setTabOrder(EditClass, BtnSelDir);
    setTabOrder(BtnSelDir, CBPapStyle);
    setTabOrder(CBPapStyle, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    connect(OKBtn, &QPushButton::clicked, this, &TDlgConfigure::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(BtnSelDir, &QPushButton::clicked, this, &TDlgConfigure::BtnSelDirClick);

    // Outer size 468 × 334; the window frame takes about 8 × 34 of it, as for
    // the main window.
    // The page style's row makes it taller.
    resize(460, 340);
    EditMark->setFocus();
}

void TDlgConfigure::setDefaults(const tess::NewPaperDefaults& defaults) {
    EditMark->setText(QString::number(defaults.fullMark));
    EditName->setText(defaults.name);
    EditFile->setText(defaults.outputFile);
    EditClass->setText(defaults.category);
    CBPapStyle->setCurrentIndex(defaults.pageStyle == tess::PageStyle::Phone ? 1 : 0);
}

tess::NewPaperDefaults TDlgConfigure::defaults() const {
    tess::NewPaperDefaults d;
    d.fullMark = m_fullMark;
    d.name = EditName->text();
    d.outputFile = EditFile->text();
    d.category = EditClass->text();
    d.pageStyle =
        CBPapStyle->currentIndex() == 1 ? tess::PageStyle::Phone : tess::PageStyle::Classic;
    return d;
}

void TDlgConfigure::OKBtnClick() {
    // The first failing check speaks; the fields stay as the user left them.
    auto refuse = [this](QLineEdit* field, const QString& text) {
        tess::Prompts::instance().information(this, text);
        field->setFocus();
    };
    const auto mark = tess::NewPaperDefaults::parseFullMark(EditMark->text());
    if (!mark) {
        refuse(EditMark, QStringLiteral("试卷的分数应是一个整数!"));
        return;
    }
    if (EditName->text().isEmpty()) {
        refuse(EditName, QStringLiteral("请输入试卷的缺省名字!"));
        return;
    }
    if (EditFile->text().isEmpty()) {
        refuse(EditFile, QStringLiteral("请输入试卷的缺省的保存名字!"));
        return;
    }
    if (EditClass->text().isEmpty()) {
        refuse(EditClass, QStringLiteral("请输入试卷的缺省类别!"));
        return;
    }
    m_fullMark = *mark;
    accept();
}

void TDlgConfigure::BtnSelDirClick() {
    const QString path = tess::Prompts::instance().saveFile(this, tess::FileDialogKind::Page,
                                                            m_exeFolder, tess::pageFileFilter());
    if (!path.isEmpty())
        EditFile->setText(path);
}

namespace tess {

bool editNewPaperDefaults(QWidget* parent, NewPaperDefaults& defaults, const QString& exeFolder) {
    TDlgConfigure dialog(parent, exeFolder);
    dialog.setDefaults(defaults);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    defaults = dialog.defaults();
    return true;
}

} // namespace tess
