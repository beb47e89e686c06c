#include "print/printoptionsdialog.h"

#include "frame/prompts.h"
#include "print/printprompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tess {

namespace {

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& text, bool checked) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(text);
    box->setChecked(checked);
    return box;
}

QLabel* makeHint(QWidget* parent, const char* name, const QString& text) {
    auto* hint = new QLabel(text, parent);
    hint->setObjectName(QLatin1String(name));
    hint->setAccessibleName(text);
    hint->setWordWrap(true);
    // Set in below its box, greyed, so that it reads as the box's explanation.
    hint->setContentsMargins(22, 0, 0, 0);
    hint->setForegroundRole(QPalette::PlaceholderText);
    return hint;
}

} // namespace

PrintOptionsDialog::PrintOptionsDialog(const PrintChoice& initial, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("PrintOptionsDialog"));
    setWindowTitle(QStringLiteral("打印选项"));
    setAccessibleName(windowTitle());

    ChkAnswerKey = makeCheckBox(this, "ChkAnswerKey", QStringLiteral("含答案"), initial.answerKey);
    ChkChoiceNumbers =
        makeCheckBox(this, "ChkChoiceNumbers", QStringLiteral("选项用编号标注 (与网页相同)"),
                     initial.choiceNumbers);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->setObjectName(QStringLiteral("Buttons"));
    QPushButton* ok = Buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("确定"));
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setAccessibleName(ok->text());
    QPushButton* cancel = Buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("取消"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    cancel->setAccessibleName(cancel->text());
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ChkAnswerKey);
    layout->addWidget(makeHint(this, "AnswerKeyHint",
                               QStringLiteral("打印和预览时答案接在试卷之后; 导出 PDF 时另存一个"
                                              "\"文件名-答案.pdf\".")));
    layout->addSpacing(6);
    layout->addWidget(ChkChoiceNumbers);
    layout->addWidget(
        makeHint(this, "ChoiceNumbersHint", QStringLiteral("不选时选项标为 A, B, C ...")));
    layout->addSpacing(10);
    layout->addWidget(Buttons);
    setMinimumWidth(340);
    ok->setDefault(true);
    ChkAnswerKey->setFocus();
}

PrintChoice PrintOptionsDialog::choice() const {
    return PrintChoice{ChkAnswerKey->isChecked(), ChkChoiceNumbers->isChecked()};
}

} // namespace tess
