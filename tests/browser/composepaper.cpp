// A teacher composes a paper from nothing in the real main window, with key
// presses and mouse clicks only, and publishes it; the page is then graded in
// Chromium by compose.test.mjs. Every step checks what the teacher would see,
// the bank is compared at the end, and any fault ends the run with a message
// on stderr. Usage: tess_composepaper <output folder> (prints the page's path)
#include "app/appfixture.h"
#include "app/tessapplication.h"
#include "editor/editorfixture.h"
#include "editor/recordgrid.h"
#include "editor/teditor.h"
#include "generate/publish.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextStream>
#include <functional>
#include <stdexcept>

using tess::RecordGrid;

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString& message) {
    throw Failure(message.toStdString());
}

struct RecordingOpener : tess::PageOpener {
    QStringList opened;
    void open(const QString& path) override { opened << path; }
};

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 128)
            return false;
    return true;
}

QString describe(const QWidget* w) {
    if (!w)
        return QStringLiteral("no widget");
    return QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') +
           (w->objectName().isEmpty() ? QStringLiteral("(unnamed)") : w->objectName());
}

// Keys go where the keyboard is: the first key may open a cell editor that
// takes the focus for the rest.
void typeKeys(const QString& text) {
    if (isAscii(text)) {
        for (QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
        return;
    }
    // Chinese arrives from the input method as committed text.
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(QApplication::focusWidget(), &commit);
}

bool waitUntil(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

struct Choice {
    QString text;
    bool right;
};

struct Question {
    QString type;
    int mark;
    QString text;
    bool right; // true/false questions only
    QList<Choice> choices;
};

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");
const QString kMulti = QStringLiteral("多选题");
const QString kRight = QStringLiteral("正确");
const QString kWrong = QStringLiteral("错误");

// Plain ASCII texts are typed key by key, the others come from the input
// method; the HTML mark-up goes into the page as it stands.
const QList<Question> kPaper = {
    {kTF, 10, QStringLiteral("地球绕着太阳转。"), true, {}},
    {kSingle,
     20,
     QStringLiteral("中国的首都是哪座城市？"),
     false,
     {{QStringLiteral("上海"), false},
      {QStringLiteral("北京"), true},
      {QStringLiteral("广州"), false}}},
    {kMulti,
     30,
     QStringLiteral("下列哪些是<b>质数</b>？"),
     false,
     {{QStringLiteral("2"), true}, {QStringLiteral("9"), false}, {QStringLiteral("13"), true}}},
};
const QString kPaperName = QStringLiteral("期末测验");
const int kFullMark = 60;

// Question grid columns, then the choice grid's.
enum { QstIdx, QstTyp, QstScr, QstCon, QstIsTrue };
enum { ChcIdx, ChcIsTrue, ChcCon };

class Composer {
public:
    Composer(TMainForm& form, EditorBank& bank, const QString& page, const QString& phonePage)
        : m_form(form), m_bank(bank), m_page(page), m_phonePage(phonePage) {}

    void run();

private:
    template <typename T> T* child(const char* name) {
        T* found = m_form.findChild<T*>(QLatin1String(name));
        if (!found)
            fail(QStringLiteral("the main window has no %1").arg(QLatin1String(name)));
        return found;
    }
    void step(const QString& what);
    void noErrors();
    void keyToFocus(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
    void clickCell(RecordGrid* grid, int row, int column);
    void typeIntoCell(RecordGrid* grid, int row, int column, const QString& text);
    void pickInList(RecordGrid* grid, QComboBox* list, int row, int column, const QString& item);
    void expectRows(RecordGrid* grid, int rows, const QString& what);
    void newPaper();
    void editProperties(const QString& what, const std::function<void(TEditor*, QString&)>& fill);
    void paperProperties();
    void addQuestion(int row, const Question& q);
    void addChoice(int question, int row, const Choice& c);
    void addAndDeleteExtras();
    void insertPicture();
    void publish();
    void checkBank();
    void publishForPhones();

    TMainForm& m_form;
    EditorBank& m_bank;
    QString m_page;
    QString m_phonePage;
    QString m_step;
    RecordGrid* m_questions = nullptr;
    RecordGrid* m_choices = nullptr;
    QComboBox* m_type = nullptr;
    QComboBox* m_flag = nullptr;
    QComboBox* m_choiceFlag = nullptr;
    QString m_pictureTag; // appended to the text of question kPictureQuestion
};

// The single-choice question shows a map.
constexpr int kPictureQuestion = 1;
const QString kPictureName = QStringLiteral("中国 地图.png");
// A 1x1 PNG: loaded, the page shows a picture one pixel wide.
const char kPng[] = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0g"
                    "AAAABJRU5ErkJggg==";

void Composer::step(const QString& what) {
    noErrors();
    m_step = what;
}

void Composer::noErrors() {
    const QString messages = messageArea(m_form)->toPlainText();
    if (messages.contains(QStringLiteral("程序运行错误")))
        fail(QStringLiteral("the message area reports an error after \"%1\":\n%2")
                 .arg(m_step, messages));
}

void Composer::keyToFocus(Qt::Key key, Qt::KeyboardModifiers mods) {
    QWidget* focus = QApplication::focusWidget();
    if (!focus)
        fail(QStringLiteral("%1: nothing has the keyboard focus").arg(m_step));
    QTest::keyClick(focus, key, mods);
}

void Composer::clickCell(RecordGrid* grid, int row, int column) {
    const QModelIndex index = grid->model()->index(row, column);
    if (!index.isValid())
        fail(QStringLiteral("%1: %2 has no cell (%3, %4)")
                 .arg(m_step, grid->objectName())
                 .arg(row)
                 .arg(column));
    const QRect cell = grid->visualRect(index);
    if (!grid->viewport()->rect().contains(cell.center()))
        fail(QStringLiteral("%1: cell (%2, %3) of %4 is out of sight")
                 .arg(m_step)
                 .arg(row)
                 .arg(column)
                 .arg(grid->objectName()));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    if (grid->currentIndex() != index)
        fail(QStringLiteral("%1: clicking cell (%2, %3) of %4 did not make it current (now %5, %6)")
                 .arg(m_step)
                 .arg(row)
                 .arg(column)
                 .arg(grid->objectName())
                 .arg(grid->currentIndex().row())
                 .arg(grid->currentIndex().column()));
    if (!grid->hasFocus() && !grid->isAncestorOf(QApplication::focusWidget()))
        fail(QStringLiteral("%1: clicking %2 left the focus on %3")
                 .arg(m_step, grid->objectName(), describe(QApplication::focusWidget())));
}

// Clicks the cell and types: the grid edits the cell in place; the text is in
// the record once the column is left.
void Composer::typeIntoCell(RecordGrid* grid, int row, int column, const QString& text) {
    const bool wasCurrent = grid->currentIndex() == grid->model()->index(row, column);
    clickCell(grid, row, column);
    if (wasCurrent) {
        // A click on the current cell opens its editor only once no double
        // click can follow; keys typed before that are lost.
        QTest::qWait(QApplication::doubleClickInterval() + 100);
    }
    if (!isAscii(text)) {
        // Text committed by the input method to a cell not yet being edited
        // opens an empty editor and is lost (Qt 6.4 forwards only key
        // presses to a new editor): the teacher double-clicks first.
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    }
    typeKeys(text);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!editor || !grid->isAncestorOf(editor))
        fail(QStringLiteral("%1: typing into cell (%2, %3) of %4 opened no cell editor; the focus "
                            "is on %5")
                 .arg(m_step)
                 .arg(row)
                 .arg(column)
                 .arg(grid->objectName(), describe(QApplication::focusWidget())));
    if (editor->text() != text)
        fail(QStringLiteral("%1: typed \"%2\" into cell (%3, %4) of %5, its editor holds \"%6\"")
                 .arg(m_step, text)
                 .arg(row)
                 .arg(column)
                 .arg(grid->objectName(), editor->text()));
}

// Clicks a cell with a list: the list shows over it. Tab puts the keyboard
// on the list and Down or Up picks the item, each press storing it.
void Composer::pickInList(RecordGrid* grid, QComboBox* list, int row, int column,
                          const QString& item) {
    clickCell(grid, row, column);
    if (!list->isVisible())
        fail(QStringLiteral("%1: the list %2 does not show over the current cell (%3, %4)")
                 .arg(m_step, list->objectName())
                 .arg(row)
                 .arg(column));
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    const QPoint cellCentre = grid->viewport()->mapTo(list->parentWidget(), cell.center());
    if (!list->geometry().contains(cellCentre))
        fail(QStringLiteral("%1: the list %2 is not over cell (%3, %4)")
                 .arg(m_step, list->objectName())
                 .arg(row)
                 .arg(column));
    if (!list->isEnabled())
        fail(QStringLiteral("%1: the list %2 is greyed").arg(m_step, list->objectName()));
    keyToFocus(Qt::Key_Tab);
    if (QApplication::focusWidget() != list)
        fail(QStringLiteral("%1: Tab from cell (%2, %3) of %4 went to %5, not to the list %6")
                 .arg(m_step)
                 .arg(row)
                 .arg(column)
                 .arg(grid->objectName(), describe(QApplication::focusWidget()),
                      list->objectName()));
    const int target = list->findText(item, Qt::MatchExactly);
    for (int guard = 0; list->currentIndex() != target && guard < 10; ++guard)
        keyToFocus(list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    if (list->currentText() != item)
        fail(QStringLiteral("%1: picking \"%2\" in %3 by keys, it shows \"%4\"")
                 .arg(m_step, item, list->objectName(), list->currentText()));
    const QString shown = grid->model()->index(row, column).data().toString();
    const QString field = item == kRight   ? QStringLiteral("True")
                          : item == kWrong ? QStringLiteral("False")
                                           : item;
    if (shown != field)
        fail(QStringLiteral("%1: picked \"%2\" in %3, the cell shows \"%4\"")
                 .arg(m_step, item, list->objectName(), shown));
}

void Composer::expectRows(RecordGrid* grid, int rows, const QString& what) {
    if (grid->model()->rowCount() != rows)
        fail(QStringLiteral("%1: %2 shows %3 rows, expected %4 (%5)")
                 .arg(m_step, grid->objectName())
                 .arg(grid->model()->rowCount())
                 .arg(rows)
                 .arg(what));
}

void Composer::newPaper() {
    step(QStringLiteral("Ctrl+D in the paper list"));
    m_form.navigator().ListView->setFocus();
    QTest::mouseClick(m_form.navigator().ListView->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(20, 20));
    if (!m_form.navigator().ListView->hasFocus())
        fail(QStringLiteral("clicking the empty paper list does not focus it"));
    keyToFocus(Qt::Key_D, Qt::ControlModifier);
    noErrors();
    if (m_form.navigator().PaperListModel->rowCount() != 1)
        fail(QStringLiteral("Ctrl+D: the list shows %1 papers, expected 1")
                 .arg(m_form.navigator().PaperListModel->rowCount()));
    if (selectedRow(m_form) != 0 || m_form.bank().CurPapID != 1)
        fail(QStringLiteral("Ctrl+D: the new paper is not selected (row %1, paper %2)")
                 .arg(selectedRow(m_form))
                 .arg(m_form.bank().CurPapID));
    expectRows(m_questions, 0, QStringLiteral("a new paper has no questions"));
}

// Shift+Insert opens the paper's properties; fill types into the dialog as
// the teacher would (adding to problem what went wrong), and Enter is OK.
void Composer::editProperties(const QString& what,
                              const std::function<void(TEditor*, QString&)>& fill) {
    QString problem = QStringLiteral("the properties dialog never showed");
    QTimer::singleShot(0, qApp, [&] {
        TEditor* dlg = nullptr;
        if (!waitUntil([&dlg] {
                return (dlg = qobject_cast<TEditor*>(QApplication::activeModalWidget()));
            })) {
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        problem.clear();
        if (!QTest::qWaitForWindowExposed(dlg))
            problem += QStringLiteral("the dialog was never exposed; ");
        fill(dlg, problem);
        QTest::keyClick(dlg->DBEdit4, Qt::Key_Return);
        if (dlg->isVisible()) {
            problem += QStringLiteral("Enter did not close the dialog");
            dlg->close();
        }
    });
    keyToFocus(Qt::Key_Insert, Qt::ShiftModifier);
    // The offscreen platform has no window manager to hand the activation back.
    m_form.activateWindow();
    if (!QTest::qWaitForWindowActive(&m_form))
        fail(QStringLiteral("the main window is not active again after the dialog"));
    if (!problem.isEmpty())
        fail(what + QStringLiteral(": ") + problem);
}

// The paper's properties: full mark, name and where its page goes, typed over
// the defaults.
void Composer::paperProperties() {
    step(QStringLiteral("the paper's properties"));
    editProperties(QStringLiteral("paper properties"), [this](TEditor* dlg, QString& problem) {
        const auto fill = [&problem](QLineEdit* edit, const QString& text) {
            QTest::mouseClick(edit, Qt::LeftButton);
            if (!edit->hasFocus())
                problem += edit->objectName() + QStringLiteral(" took no focus; ");
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            typeKeys(text);
            if (edit->text() != text)
                problem += edit->objectName() + QStringLiteral(" holds \"") + edit->text() +
                           QStringLiteral("\"; ");
        };
        fill(dlg->DBEdit2, QString::number(kFullMark));
        fill(dlg->DBEdit3, kPaperName);
        fill(dlg->DBEdit4, m_page);
    });
    noErrors();
    if (m_form.navigator().DBText1->text() != kPaperName ||
        m_form.navigator().DBText2->text() != QString::number(kFullMark) ||
        m_form.navigator().DBText3->text() != m_page)
        fail(QStringLiteral("paper properties: the panel shows \"%1\", \"%2\", \"%3\"")
                 .arg(m_form.navigator().DBText1->text(), m_form.navigator().DBText2->text(),
                      m_form.navigator().DBText3->text()));
}

// Ctrl+F in the question grid adds a row; the new one takes the type and mark
// of the one before, which the teacher then changes where they differ.
void Composer::addQuestion(int row, const Question& q) {
    step(QStringLiteral("question %1: Ctrl+F").arg(row + 1));
    if (row == 0) {
        // The empty grid: a click anywhere in it gives it the focus.
        QTest::mouseClick(m_questions->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 10));
        if (!m_questions->hasFocus())
            fail(QStringLiteral("clicking the empty question grid does not focus it: enabled %1, "
                                "visible %2, focus on %3")
                     .arg(m_questions->isEnabled())
                     .arg(m_questions->isVisible())
                     .arg(describe(QApplication::focusWidget())));
    } else {
        clickCell(m_questions, row - 1, QstIdx);
    }
    keyToFocus(Qt::Key_F, Qt::ControlModifier);
    noErrors();
    expectRows(m_questions, row + 1, QStringLiteral("after Ctrl+F"));
    if (m_questions->currentIndex().row() != row)
        fail(QStringLiteral("Ctrl+F: the new question is not the current row"));
    const QString number = m_questions->model()->index(row, QstIdx).data().toString();
    if (number != QString::number(row + 1))
        fail(QStringLiteral("Ctrl+F: the new question is numbered \"%1\"").arg(number));
    const QString inherited = m_questions->model()->index(row, QstTyp).data().toString();
    const QString expectedType = row == 0 ? kTF : kPaper[row - 1].type;
    if (inherited != expectedType)
        fail(QStringLiteral("Ctrl+F: the new question's type is \"%1\", expected \"%2\"")
                 .arg(inherited, expectedType));

    if (q.type != inherited) {
        step(QStringLiteral("question %1: its type through CBEditor").arg(row + 1));
        pickInList(m_questions, m_type, row, QstTyp, q.type);
    }
    step(QStringLiteral("question %1: its mark").arg(row + 1));
    typeIntoCell(m_questions, row, QstScr, QString::number(q.mark));
    step(QStringLiteral("question %1: its text").arg(row + 1));
    typeIntoCell(m_questions, row, QstCon, q.text);
    if (q.type == kTF) {
        step(QStringLiteral("question %1: its flag through CBTruOrFalse").arg(row + 1));
        pickInList(m_questions, m_flag, row, QstIsTrue, q.right ? kRight : kWrong);
    } else {
        // Choice questions have no flag of their own: the list is greyed.
        step(QStringLiteral("question %1: the flag column").arg(row + 1));
        clickCell(m_questions, row, QstIsTrue);
        if (m_flag->isEnabled())
            fail(QStringLiteral("CBTruOrFalse is not greyed on a %1").arg(q.type));
    }
    noErrors();
    for (int i = 0; i < q.choices.size(); ++i)
        addChoice(row, i, q.choices[i]);
}

// Ctrl+G from the question grid for the first choice, from the choice grid for
// the others; each choice's text and flag are set in the choice grid.
void Composer::addChoice(int question, int row, const Choice& c) {
    step(QStringLiteral("question %1, choice %2: Ctrl+G").arg(question + 1).arg(row + 1));
    if (row == 0)
        clickCell(m_questions, question, QstCon);
    else
        clickCell(m_choices, row - 1, ChcIdx);
    keyToFocus(Qt::Key_G, Qt::ControlModifier);
    noErrors();
    if (m_form.navigator().PaperListModel->rowCount() != 1)
        fail(QStringLiteral("Ctrl+G in a grid deleted the paper"));
    expectRows(m_choices, row + 1, QStringLiteral("after Ctrl+G"));
    if (m_choices->model()->index(row, ChcIdx).data().toString() != QString::number(row + 1))
        fail(QStringLiteral("the new choice is numbered \"%1\"")
                 .arg(m_choices->model()->index(row, ChcIdx).data().toString()));

    step(QStringLiteral("question %1, choice %2: its text").arg(question + 1).arg(row + 1));
    typeIntoCell(m_choices, row, ChcCon, c.text);
    step(QStringLiteral("question %1, choice %2: its flag through CBTruOrFalse2")
             .arg(question + 1)
             .arg(row + 1));
    // New choices are wrong until marked: only the right ones need the list,
    // and one wrong one is set explicitly as a teacher making sure would.
    if (c.right || row == 1)
        pickInList(m_choices, m_choiceFlag, row, ChcIsTrue, c.right ? kRight : kWrong);
    noErrors();
}

// A question and a choice added by mistake and deleted again: the question by
// the question grid's pop-up menu, the choice by Ctrl+Delete in its grid.
void Composer::addAndDeleteExtras() {
    const int questions = int(kPaper.size());
    const int lastChoices = int(kPaper.last().choices.size());

    step(QStringLiteral("an extra choice: Ctrl+G"));
    clickCell(m_choices, lastChoices - 1, ChcCon);
    keyToFocus(Qt::Key_G, Qt::ControlModifier);
    expectRows(m_choices, lastChoices + 1, QStringLiteral("after Ctrl+G"));
    step(QStringLiteral("the extra choice: Ctrl+Delete"));
    clickCell(m_choices, lastChoices, ChcIdx);
    keyToFocus(Qt::Key_Delete, Qt::ControlModifier);
    noErrors();
    expectRows(m_choices, lastChoices, QStringLiteral("after Ctrl+Delete"));

    step(QStringLiteral("an extra question: Ctrl+F"));
    clickCell(m_questions, questions - 1, QstIdx);
    keyToFocus(Qt::Key_F, Qt::ControlModifier);
    expectRows(m_questions, questions + 1, QStringLiteral("after Ctrl+F"));
    step(QStringLiteral("the extra question: right click, 删除题目(&H)"));
    clickCell(m_questions, questions, QstIdx);
    {
        // What a right click delivers; QTest's click on a widget sends none.
        QWidget* viewport = m_questions->viewport();
        const QPoint pos =
            m_questions->visualRect(m_questions->model()->index(questions, QstIdx)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &click);
    }
    QMenu* menu = m_form.PopMenuQuestion;
    if (!waitUntil([menu] { return menu->isVisible(); }, 1000))
        fail(QStringLiteral("a right click on the question grid shows no pop-up menu"));
    if (!m_form.OnDelQuestion->isEnabled())
        fail(QStringLiteral("删除题目 is greyed in the pop-up menu"));
    QTest::keyClick(menu, Qt::Key_H);
    noErrors();
    expectRows(m_questions, questions, QStringLiteral("after 删除题目"));
}

// A picture from the teacher's own folder into the single-choice question's
// text, by the question grid's pop-up menu and the picture dialog.
void Composer::insertPicture() {
    step(QStringLiteral("a picture: right click, 插入图片文件"));
    const QString picture = m_bank.dir.filePath(QStringLiteral("teacher/") + kPictureName);
    QDir().mkpath(QFileInfo(picture).absolutePath());
    QFile file(picture);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::fromBase64(kPng)) <= 0)
        fail(QStringLiteral("cannot write the picture ") + picture);
    file.close();
    clickCell(m_questions, kPictureQuestion, QstCon);
    {
        QWidget* viewport = m_questions->viewport();
        const QPoint pos =
            m_questions->visualRect(m_questions->model()->index(kPictureQuestion, QstCon)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &click);
    }
    QMenu* menu = m_form.PopMenuQuestion;
    if (!waitUntil([menu] { return menu->isVisible(); }, 1000))
        fail(QStringLiteral("a right click on the question grid shows no pop-up menu"));
    QAction* entry = menu->actions().last();
    if (entry != m_form.OnInsertImage || !entry->isEnabled())
        fail(QStringLiteral("插入图片文件 is not the enabled last entry of the pop-up menu"));
    tess::Prompts::instance().queueFile(picture);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    noErrors();
    m_pictureTag = QStringLiteral("<IMG SRC=\"images\\") + kPictureName + QStringLiteral("\">");
    if (!QFileInfo::exists(QDir(tess::ProgramFiles::PicturesFolder()).filePath(kPictureName)))
        fail(QStringLiteral("the picture was not copied into the pictures folder"));
}

void Composer::publish() {
    step(QStringLiteral("Ctrl+S"));
    clickCell(m_questions, 0, QstCon);
    keyToFocus(Qt::Key_S, Qt::ControlModifier);
    noErrors();
    const QStringList expected = {QStringLiteral("试卷错误性检查..."), QString(),
                                  QStringLiteral("正在生成试卷..."),
                                  QStringLiteral("试卷成功生成到:") + m_page + QLatin1Char('.')};
    const QString messages = messageArea(m_form)->toPlainText();
    if (messages.split(QLatin1Char('\n')) != expected)
        fail(QStringLiteral("Ctrl+S: the message area reads\n%1\nexpected\n%2")
                 .arg(messages, expected.join(QLatin1Char('\n'))));
    if (!tess::Prompts::instance().shownTexts().isEmpty())
        fail(QStringLiteral("boxes were shown: ") +
             tess::Prompts::instance().shownTexts().join(QStringLiteral(" | ")));
    if (!QFileInfo::exists(m_page))
        fail(QStringLiteral("Ctrl+S wrote no page at ") + m_page);
}

void Composer::checkBank() {
    step(QStringLiteral("the bank's contents"));
    QStringList wrong;
    const auto expect = [&wrong](const QString& what, const QVariant& got, const QString& want) {
        if (got.toString() != want)
            wrong
                << QStringLiteral("%1 is \"%2\", expected \"%3\"").arg(what, got.toString(), want);
    };
    const auto count = [this](const QString& tableAndWhere) {
        return QString::number(m_bank.count(tableAndWhere));
    };
    expect(QStringLiteral("papers"), count(QStringLiteral("paper")), QStringLiteral("1"));
    const auto paper = [this](const char* column) {
        return m_bank.scalar(
            QStringLiteral("select %1 as v from paper").arg(QLatin1String(column)));
    };
    expect(QStringLiteral("PapNam"), paper("PapNam"), kPaperName);
    expect(QStringLiteral("PapScr"), paper("PapScr"), QString::number(kFullMark));
    expect(QStringLiteral("PapSav"), paper("PapSav"), m_page);
    const QString papId = paper("PapID").toString();
    expect(QStringLiteral("questions"), count(QStringLiteral("question")),
           QString::number(kPaper.size()));
    int choices = 0;
    for (int i = 0; i < kPaper.size(); ++i) {
        const Question& q = kPaper[i];
        const QString where =
            QStringLiteral("from question where PapIdx = %1 and QstIdx = %2").arg(papId).arg(i + 1);
        const auto field = [&](const char* column) {
            return m_bank.scalar(QStringLiteral("select %1 as v ").arg(QLatin1String(column)) +
                                 where);
        };
        const QString name = QStringLiteral("question %1 ").arg(i + 1);
        expect(name + QStringLiteral("count"),
               m_bank.scalar(QStringLiteral("select count(*) as v ") + where), QStringLiteral("1"));
        expect(name + QStringLiteral("QstTyp"), field("QstTyp"), q.type);
        expect(name + QStringLiteral("QstScr"), field("QstScr"), QString::number(q.mark));
        expect(name + QStringLiteral("QstCon"), field("QstCon"),
               i == kPictureQuestion ? q.text + m_pictureTag : q.text);
        expect(name + QStringLiteral("IsTrue"), field("IsTrue"),
               q.right ? QStringLiteral("true") : QStringLiteral("false"));
        const QString qstId = field("QstID").toString();
        expect(name + QStringLiteral("choices"),
               count(QStringLiteral("choice where QstIdx = ") + qstId),
               QString::number(q.choices.size()));
        for (int j = 0; j < q.choices.size(); ++j) {
            const QString cwhere = QStringLiteral("from choice where QstIdx = %1 and ChcIdx = %2")
                                       .arg(qstId)
                                       .arg(j + 1);
            const QString cname = name + QStringLiteral("choice %1 ").arg(j + 1);
            expect(cname + QStringLiteral("ChcCon"),
                   m_bank.scalar(QStringLiteral("select ChcCon as v ") + cwhere),
                   q.choices[j].text);
            expect(cname + QStringLiteral("IsTrue"),
                   m_bank.scalar(QStringLiteral("select IsTrue as v ") + cwhere),
                   q.choices[j].right ? QStringLiteral("true") : QStringLiteral("false"));
        }
        choices += int(q.choices.size());
    }
    expect(QStringLiteral("choices"), count(QStringLiteral("choice")), QString::number(choices));
    if (!wrong.isEmpty())
        fail(QStringLiteral("the bank after composing:\n  ") + wrong.join(QStringLiteral("\n  ")));
}

// The properties again: the phone style chosen by keys, the page to a second
// file; Ctrl+S publishes the page for phones.
void Composer::publishForPhones() {
    step(QStringLiteral("the phone style"));
    editProperties(QStringLiteral("phone style"), [this](TEditor* dlg, QString& problem) {
        if (dlg->CBPapStyle->currentText() != QStringLiteral("经典"))
            problem += QStringLiteral("the style reads ") + dlg->CBPapStyle->currentText();
        dlg->CBPapStyle->setFocus();
        QTest::keyClick(dlg->CBPapStyle, Qt::Key_Down);
        if (dlg->CBPapStyle->currentText() != QStringLiteral("手机友好"))
            problem += QStringLiteral("Down chose ") + dlg->CBPapStyle->currentText();
        QTest::mouseClick(dlg->DBEdit4, Qt::LeftButton);
        QTest::keyClick(dlg->DBEdit4, Qt::Key_A, Qt::ControlModifier);
        typeKeys(m_phonePage);
    });
    noErrors();
    if (m_form.navigator().DBText4->text() != QStringLiteral("手机友好"))
        fail(QStringLiteral("phone style: the panel shows \"%1\"")
                 .arg(m_form.navigator().DBText4->text()));
    const QString style =
        m_bank.scalar(QStringLiteral("select style as v from paper_style")).toString();
    if (style != QStringLiteral("1"))
        fail(QStringLiteral("phone style: the bank keeps style \"%1\"").arg(style));

    step(QStringLiteral("Ctrl+S for phones"));
    clickCell(m_questions, 0, QstCon);
    keyToFocus(Qt::Key_S, Qt::ControlModifier);
    noErrors();
    const QString messages = messageArea(m_form)->toPlainText();
    if (!messages.endsWith(QStringLiteral("试卷成功生成到:") + m_phonePage + QLatin1Char('.')))
        fail(QStringLiteral("Ctrl+S for phones: the message area reads\n") + messages);
    if (!QFileInfo::exists(m_phonePage))
        fail(QStringLiteral("Ctrl+S wrote no page at ") + m_phonePage);
}

void Composer::run() {
    m_questions = child<RecordGrid>("DBGridQuestion");
    m_choices = child<RecordGrid>("DBGridChoice");
    m_type = child<QComboBox>("CBEditor");
    m_flag = child<QComboBox>("CBTruOrFalse");
    m_choiceFlag = child<QComboBox>("CBTruOrFalse2");

    newPaper();
    paperProperties();
    for (int i = 0; i < kPaper.size(); ++i)
        addQuestion(i, kPaper[i]);
    addAndDeleteExtras();
    insertPicture();
    // The last choice is posted when publishing moves the focus away from its grid.
    publish();
    checkBank();
    if (child<QLabel>("LabelQuestion")->text() != QStringLiteral("共3道题目"))
        fail(QStringLiteral("LabelQuestion reads ") + child<QLabel>("LabelQuestion")->text());
    noErrors();
    publishForPhones();
}

} // namespace

int main(int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: tess_composepaper <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 2;
    const QString page = out.absoluteFilePath(QStringLiteral("composed.html"));
    const QString phonePage = out.absoluteFilePath(QStringLiteral("phone.html"));

    try {
        EditorBank bank;
        TMainForm form;
        app.setErrorHandler([&form](const QString& message) { form.ReportError(message); });
        RecordingOpener opener;
        form.SetPageOpener(&opener);
        form.SetSignedInAccount(QStringLiteral("Admin"));
        form.OpenPaperBank();
        form.show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form))
            fail(QStringLiteral("the main window never became active"));
        if (!messageArea(form)->toPlainText().isEmpty())
            fail(QStringLiteral("opening the bank: ") + messageArea(form)->toPlainText());
        Composer(form, bank, page, phonePage).run();
        if (opener.opened != QStringList({page, phonePage}))
            fail(QStringLiteral("the page opened was \"%1\"")
                     .arg(opener.opened.join(QStringLiteral(", "))));
        app.setErrorHandler(nullptr);
    } catch (const std::exception& e) {
        err << "tess_composepaper: " << QString::fromStdString(e.what()) << "\n";
        return 1;
    }
    QTextStream(stdout) << page << "\n" << phonePage << "\n";
    return 0;
}
