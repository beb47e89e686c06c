#pragma once

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;

namespace tess {

struct PrintChoice;

// Asked before a paper is previewed, printed or exported as PDF: whether the
// teacher's key comes too, and how the choices are labelled.
class PrintOptionsDialog : public QDialog {
    Q_OBJECT

public:
    PrintOptionsDialog(const PrintChoice& initial, QWidget* parent = nullptr);

    PrintChoice choice() const;

    QCheckBox* ChkAnswerKey = nullptr;
    QCheckBox* ChkChoiceNumbers = nullptr;
    QDialogButtonBox* Buttons = nullptr;
};

} // namespace tess
