#include "app/taboutdlg.h"

#include "app/banner.h"
#include "settings/bankchoice.h"
#include "settings/programfiles.h"
#include "settings/programinfo.h"
#include "store/connection.h"

#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

TAboutDlg::TAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TAboutDlg"));
    setWindowTitle(QStringLiteral("关于Tessaloom"));
    setFixedSize(501, 320);

    Panel1 = new tess::Banner(this, 501);

    ProductName = new QLabel(QStringLiteral("Tessaloom"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setPointSize(26);
    big.setBold(true);
    big.setUnderline(true);
    ProductName->setFont(big);
    QPalette black = ProductName->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    ProductName->setPalette(black);
    ProductName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ProductName->setGeometry(16, 75, 501 - 32, 56);

    Version = new QLabel(QStringLiteral("版本 ") + tess::programVersion(), this);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Version->setGeometry(16, 131, 501 - 32, 24);

    // Selectable, so that the teacher can copy a path into a file manager.
    FilesInUse = new QLabel(QStringLiteral("试题库: %1\n设置文件: %2")
                                .arg(tess::displayBankName(tess::chosenBank().name),
                                     QDir::toNativeSeparators(tess::ProgramFiles::SettingsPath())),
                            this);
    FilesInUse->setObjectName(QStringLiteral("FilesInUse"));
    FilesInUse->setAccessibleName(QStringLiteral("正在使用的试题库和设置文件"));
    FilesInUse->setWordWrap(true);
    FilesInUse->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    FilesInUse->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FilesInUse->setGeometry(16, 170, 501 - 32, 90);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(8, 268, 501 - 16, 2);

    OKButton = new QPushButton(QStringLiteral("确　定"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setFlat(true);
    OKButton->setDefault(true);
    OKButton->setGeometry(501 - 8 - 90, 280, 90, 30);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
