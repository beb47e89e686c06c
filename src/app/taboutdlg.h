#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tess {
class Banner;
}

// The About box: the product name and version under the banner, the bank and
// the settings file in use, and one button.
class TAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit TAboutDlg(QWidget* parent);

    tess::Banner* Panel1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* FilesInUse = nullptr; // the bank and the settings file of this run
    QPushButton* OKButton = nullptr;

protected:
    // The box has no cancel button, so Esc does nothing.
    void keyPressEvent(QKeyEvent* event) override;
};
