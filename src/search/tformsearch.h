#pragma once

#include "bank/questionsearch.h"

#include <QDialog>
#include <QVector>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTextBrowser;

namespace tess {

namespace print {
class FolderPictures;
class FolderPictureObject;
} // namespace print

class Connection;
class Frame;
class PaperBank;
class PaperNavigator;

// "题库检索": questions found across the whole bank by a text of theirs or
// their choices, a type and a category, and copied or moved to the end of
// the paper selected in the main window.
class TFormSearch : public QDialog {
    Q_OBJECT

public:
    TFormSearch(Frame& frame, PaperBank& bank, PaperNavigator& navigator, QWidget* parent);
    ~TFormSearch() override;

    // Fills the category list from the bank; the window's filters stay.
    void RefreshCategories();
    // Runs the search with what the window's fields say.
    void Search();
    // Lists the next screenful of the last search, if it found more.
    void LoadMore();

    // Questions listed at a time; more come as the list is scrolled down.
    static constexpr int kScreenful = 100;
    // At most this many are listed to be selected all at once.
    static constexpr int kMostSelected = 20000;
    // Copies of at least this many questions show their progress.
    static constexpr int kCopyWithProgress = 500;

    QLineEdit* EditText = nullptr;
    QComboBox* CBType = nullptr;
    QComboBox* CBCategory = nullptr;
    QLineEdit* EditPaper = nullptr;
    QSpinBox* SpinMarkFrom = nullptr; // its lowest value stands for no bound
    QSpinBox* SpinMarkTo = nullptr;
    QPushButton* BtnSearch = nullptr;
    QTableWidget* GridHits = nullptr;
    QTextBrowser* TextPreview = nullptr;
    QLabel* LabelCount = nullptr;
    QPushButton* BtnSelectAll = nullptr;
    QPushButton* BtnCopy = nullptr;
    QPushButton* BtnMove = nullptr;

private:
    void TakeIntoPaper(bool move);
    void SelectAllFound();
    QVector<int> SelectedQuestions() const;
    void ShowPreview();
    void ShowCount();

    Frame& m_frame;
    PaperBank& m_bank;
    PaperNavigator& m_navigator;
    QuestionSearch m_search; // the last search, for the next screenful
    QVector<QuestionHit> m_hits;
    bool m_more = false;
    // The preview's pictures, read from the pictures folder only.
    std::unique_ptr<print::FolderPictures> m_previewPictures;
    std::unique_ptr<print::FolderPictureObject> m_previewShown;
};

// Reads every text of the bank for the search, showing how far it is; the
// teacher may stop it, and the search then reads the texts one by one.
void indexBankTexts(Frame& frame, Connection& connection);

} // namespace tess
