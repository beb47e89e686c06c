#pragma once

#include "settings/newpaperdefaults.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// The defaults dialog: the values every new paper starts with.
class TDlgConfigure : public QDialog {
    Q_OBJECT

public:
    // exeFolder is where the "..." file dialog starts.
    TDlgConfigure(QWidget* parent, const QString& exeFolder);

    // Fills the fields from the defaults.
    void setDefaults(const tess::NewPaperDefaults& defaults);
    // The values as the dialog holds them; only meaningful after OK, when the
    // full mark has passed the check. Texts are exactly as entered.
    tess::NewPaperDefaults defaults() const;

    QLineEdit* EditID = nullptr; // always empty and disabled
    QLineEdit* EditMark = nullptr;
    QLineEdit* EditName = nullptr;
    QLineEdit* EditFile = nullptr;
    QLineEdit* EditClass = nullptr;
    QComboBox* CBPapStyle = nullptr; // the page style of new papers
    QPushButton* BtnSelDir = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

public Q_SLOTS:
    void OKBtnClick();
    void BtnSelDirClick();

private:
    QString m_exeFolder;
    int m_fullMark = 0;
};

namespace tess {

// The command OnSetting: shows the defaults dialog over parent and, when the
// user confirms, stores its values in defaults. Returns whether they were
// stored. The settings file is not written here.
bool editNewPaperDefaults(QWidget* parent, NewPaperDefaults& defaults, const QString& exeFolder);

} // namespace tess
