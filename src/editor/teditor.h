#pragma once

#include "store/pagestyle.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tess {
class Query;
class TableCursor;
} // namespace tess

// The paper properties dialog. Its five boxes are bound to the current record
// of the paper cursor, which the caller has put into edit mode; the two "..."
// buttons and OK post the record. Closing it by its close box is the cancel:
// the caller cancels what is not posted yet.
class TEditor : public QDialog {
    Q_OBJECT

public:
    // guard runs an action and sends any error it throws to the program's error handler.
    using Guard = std::function<void(const std::function<void()>&)>;

    TEditor(tess::TableCursor& paper, tess::Query& categories, const QString& startFolder,
            Guard guard, QWidget* parent = nullptr);
    ~TEditor() override;

    // Whether the record was posted while the dialog was open (by a "..."
    // button or by OK).
    bool posted() const { return m_posted; }

    // Writes what the user changed in the boxes into the record, as a bound
    // box does when it is left.
    void UpdateRecord();

    QLabel* Label1 = nullptr;
    QLineEdit* DBEdit1 = nullptr; // PapID, read-only
    QLineEdit* DBEdit2 = nullptr; // PapScr
    QLineEdit* DBEdit3 = nullptr; // PapNam
    QLineEdit* DBEdit4 = nullptr; // PapSav
    QLineEdit* DBEdit5 = nullptr; // PapCtg
    QPushButton* BtnSelDir = nullptr;
    QPushButton* BtnSelCtg = nullptr;
    QComboBox* CBPapCtg = nullptr;
    QPushButton* OKBtn = nullptr;
    // The page style and the phone page's options; kept in the bank by the
    // caller when the dialog closes with OK.
    QComboBox* CBPapStyle = nullptr;
    QCheckBox* CKShuffleChoices = nullptr;
    QCheckBox* CKShuffleQuestions = nullptr;
    QSpinBox* SPTimeLimit = nullptr;

    void setPaperStyle(const tess::PaperStyle& style);
    tess::PaperStyle paperStyle() const;
    // A bank that cannot keep styles shows them greyed, with the reason.
    void setStyleUnavailable(const QString& reason);

    void BtnSelDirClick();
    void BtnSelCtgClick();
    void CBPapCtgChange(int index);
    void OKBtnClick();

protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadBoxes();
    void enableStyleOptions();
    // Posts the record and puts it into edit mode again.
    void postAndEdit();
    // Puts value into a box and its column, and posts at once.
    void setBoxAndPost(QLineEdit* box, const QString& column, const QString& value);

    tess::TableCursor& m_paper;
    tess::Query& m_categories;
    QString m_startFolder;
    Guard m_guard;
    bool m_posted = false;
};
