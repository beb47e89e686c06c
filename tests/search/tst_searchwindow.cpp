// "题库检索" in the real main window: found by text, type and category, and
// copied or moved into the paper selected in the list.
#include "editor/editorfixture.h"
#include "search/tformsearch.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextObjectInterface>
#include <sys/stat.h>

class TestSearchWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { tess::Prompts::instance().clear(); }
    void findCopyAndMove();
    void filters_data();
    void filters();
    void paperAndMarks();
    void previewScrollAndTakeAll();
    void previewOfTablesNestedDeep();
    void previewReadsOnlyFolderPictures();
    void indexBuiltWithProgress();
};

namespace {

void fill(EditorBank& bank) {
    auto setup = bank.setupRows();
    bank.paper(1, QStringLiteral("期中"), QStringLiteral("物理"));
    bank.paper(2, QStringLiteral("期末"), QStringLiteral("化学"));
    bank.question(10, 1, 1);
    bank.question(20, 2, 1);
    bank.sql(QStringLiteral("update question set QstTyp = '单选题', QstScr = 3, QstCon = "
                            "'光的<b>折射</b>' where QstID = 10"));
    bank.sql(QStringLiteral("update question set QstCon = '溶液是混合物' where QstID = 20"));
    bank.choice(1, 10, 1);
    bank.choice(2, 10, 2);
    bank.sql(QStringLiteral("update choice set ChcCon = '入射角', IsTrue = 1 where ChcID = 1"));
    setup.commit();
}

// The window, opened by its keys in the main window.
tess::TFormSearch* openSearch(TMainForm& form) {
    form.activateWindow();
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto* window = form.findChild<tess::TFormSearch*>(QStringLiteral("TFormSearch"));
    return window && window->isVisible() ? window : nullptr;
}

void search(tess::TFormSearch* window, const QString& text) {
    typing::replaceText(window->EditText, text);
    QTest::keyClick(window->EditText, Qt::Key_Return);
}

QStringList listed(const tess::TFormSearch* window) {
    QStringList rows;
    for (int row = 0; row < window->GridHits->rowCount(); ++row)
        rows << window->GridHits->item(row, 0)->text() + QLatin1Char('|') +
                    window->GridHits->item(row, 5)->text();
    return rows;
}

void pickRow(tess::TFormSearch* window, int row) {
    const QRect rect = window->GridHits->visualItemRect(window->GridHits->item(row, 0));
    QTest::mouseClick(window->GridHits->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

// The fixture bank, the signed-in window and the search window opened in it.
struct Searching {
    EditorBank bank;
    TMainForm form;
    tess::TFormSearch* window = nullptr;
    Searching() {
        fill(bank);
        openBank(form);
        window = openSearch(form);
    }
};

} // namespace

void TestSearchWindow::findCopyAndMove() {
    Searching searching;
    EditorBank& bank = searching.bank;
    TMainForm& form = searching.form;
    tess::TFormSearch* window = searching.window;
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("题库检索"));

    // A word across a tag; found in a choice too.
    search(window, QStringLiteral("折射"));
    QCOMPARE(listed(window), QStringList{QStringLiteral("期中|光的折射")});
    QCOMPARE(window->LabelCount->text(), QStringLiteral("找到 1 道题."));
    search(window, QStringLiteral("入射"));
    QCOMPARE(listed(window), QStringList{QStringLiteral("期中|光的折射")});

    // Nothing chosen: told, nothing copied.
    window->GridHits->clearSelection();
    QTest::mouseClick(window->BtnCopy, Qt::LeftButton);
    QVERIFY(messageArea(form)->toPlainText().contains(QStringLiteral("没有选中题目")));
    messageArea(form)->clear();

    // Copied into the paper selected in the main window, shown in its grid.
    clickRow(form, 1);
    QCOMPARE(form.bank().CurPapID, 2);
    pickRow(window, 0);
    QTest::mouseClick(window->BtnCopy, Qt::LeftButton);
    QCOMPARE(messageArea(form)->toPlainText(), QStringLiteral("已把 1 道题复制到试卷 \"期末\"."));
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 2")), 2);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 1")), 1);
    QCOMPARE(form.bank().TQuestion.recordCount(), 2);
    QCOMPARE(form.bank().TQuestion.asString(QStringLiteral("QstCon")),
             QStringLiteral("光的<b>折射</b>"));
    QCOMPARE(form.bank().TChoice.recordCount(), 2);

    // Moved: gone from its paper; the list is searched again.
    search(window, QStringLiteral("折射"));
    QCOMPARE(listed(window),
             (QStringList{QStringLiteral("期中|光的折射"), QStringLiteral("期末|光的折射")}));
    messageArea(form)->clear();
    pickRow(window, 0);
    QTest::mouseClick(window->BtnMove, Qt::LeftButton);
    QCOMPARE(messageArea(form)->toPlainText(), QStringLiteral("已把 1 道题移动到试卷 \"期末\"."));
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 1")), 0);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 2")), 3);
    QCOMPARE(bank.count(QStringLiteral("choice where QstIdx = 10")), 0);
    QCOMPARE(listed(window),
             (QStringList{QStringLiteral("期末|光的折射"), QStringLiteral("期末|光的折射")}));
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        window->grab().save(dir + QStringLiteral("/search-window.png"));
}

void TestSearchWindow::filters_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("all") << QStringLiteral("所有题型") << QStringLiteral("所有类别")
                         << QStringList{QStringLiteral("期中|光的折射"),
                                        QStringLiteral("期末|溶液是混合物")};
    QTest::newRow("type") << QStringLiteral("判断题") << QStringLiteral("所有类别")
                          << QStringList{QStringLiteral("期末|溶液是混合物")};
    QTest::newRow("category") << QStringLiteral("所有题型") << QStringLiteral("物理")
                              << QStringList{QStringLiteral("期中|光的折射")};
    QTest::newRow("both, none left")
        << QStringLiteral("多选题") << QStringLiteral("化学") << QStringList{};
}

void TestSearchWindow::filters() {
    QFETCH(QString, type);
    QFETCH(QString, category);
    QFETCH(QStringList, found);
    Searching searching;
    TMainForm& form = searching.form;
    tess::TFormSearch* window = searching.window;
    QVERIFY(window);
    QCOMPARE(window->CBCategory->count(), 3); // all, 化学, 物理
    typing::pickByKeys(window->CBType, type);
    typing::pickByKeys(window->CBCategory, category);
    QTest::mouseClick(window->BtnSearch, Qt::LeftButton);
    QCOMPARE(listed(window), found);
    QCOMPARE(window->LabelCount->text(), QStringLiteral("找到 %1 道题.").arg(found.size()));
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
}

// The paper's name and the marks narrow the search, typed as the teacher types them.
void TestSearchWindow::paperAndMarks() {
    Searching searching;
    tess::TFormSearch* window = searching.window;
    QVERIFY(window);
    typing::replaceText(window->EditPaper, QStringLiteral("期末"));
    QTest::keyClick(window->EditPaper, Qt::Key_Return);
    QCOMPARE(listed(window), QStringList{QStringLiteral("期末|溶液是混合物")});
    window->EditPaper->clear();
    window->SpinMarkFrom->setFocus();
    window->SpinMarkFrom->selectAll();
    QTest::keyClicks(window->SpinMarkFrom, QStringLiteral("3"));
    QCOMPARE(window->SpinMarkFrom->value(), 3);
    QTest::mouseClick(window->BtnSearch, Qt::LeftButton);
    QCOMPARE(listed(window), QStringList{QStringLiteral("期中|光的折射")});
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        window->grab().save(dir + QStringLiteral("/search-window-marks.png"));
}

// A question of tables nested 500 deep, as a hostile imported file brings
// it, is shown at once, its words kept.
void TestSearchWindow::previewOfTablesNestedDeep() {
    Searching searching;
    tess::TFormSearch* window = searching.window;
    QVERIFY(window);
    searching.bank.sql(
        QStringLiteral("update question set QstCon = '光的折射%1最深处%2' where QstID = 10")
            .arg(QStringLiteral("<table border=1><tr><td>层").repeated(500),
                 QStringLiteral("</td></tr></table>").repeated(500)));
    search(window, QStringLiteral("折射"));
    QCOMPARE(window->GridHits->currentRow(), 0);
    const QString preview = window->TextPreview->toPlainText();
    QVERIFY(preview.contains(QStringLiteral("最深处")));
    QVERIFY(preview.contains(QStringLiteral("入射角")));
    QVERIFY(window->TextPreview->document()->size().height() > 0);
}

// A text another program wrote names a picture outside the pictures folder, a
// FIFO and a link in it: the preview shows the text at once, with only the
// folder's own picture.
void TestSearchWindow::previewReadsOnlyFolderPictures() {
    Searching searching;
    const QTemporaryDir outside;
    const QString picture = outside.filePath(QStringLiteral("outside.png"));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(picture));
    const QDir folder(tess::ProgramFiles::PicturesFolder());
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    QVERIFY(QFile::copy(picture, folder.filePath(QStringLiteral("ray.png"))));
    QVERIFY(QFile::link(picture, folder.filePath(QStringLiteral("link.png"))));
    QCOMPARE(
        ::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("fifo.png"))).constData(), 0600),
        0);

    tess::TFormSearch* window = searching.window;
    QVERIFY(window);
    const QStringList sources = {picture,
                                 QStringLiteral("file://") + picture,
                                 QStringLiteral("images\\fifo.png"),
                                 QStringLiteral("images\\link.png"),
                                 QStringLiteral("images\\..\\..\\outside.png"),
                                 QStringLiteral("images\\ray.png")};
    QString text = QStringLiteral("光的折射");
    for (const QString& src : sources)
        text += QStringLiteral("<img src=\"%1\">").arg(src);
    searching.bank.sql(QStringLiteral("update question set QstCon = %1 where QstID = 10")
                           .arg(banktest::quoted(text)));
    search(window, QStringLiteral("折射"));
    QCOMPARE(window->GridHits->currentRow(), 0);
    QTextDocument* shown = window->TextPreview->document();
    QVERIFY(shown->toPlainText().contains(QStringLiteral("光的折射")));
    // The pictures the preview lays out with a size: those it could read.
    QStringList read;
    QTextObjectInterface* pictures =
        shown->documentLayout()->handlerForObject(QTextFormat::ImageObject);
    QVERIFY(pictures);
    for (QTextBlock block = shown->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat() &&
                !pictures->intrinsicSize(shown, it.fragment().position(), format).isEmpty())
                read << format.toImageFormat().name();
        }
    QCOMPARE(read, QStringList{QStringLiteral("images\\ray.png")});
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        window->grab().save(dir + QStringLiteral("/search-preview-pictures.png"));
}

// The question shown as the page shows it; more rows as the list is scrolled
// down; every question found taken at once, with progress.
void TestSearchWindow::previewScrollAndTakeAll() {
    Searching searching;
    EditorBank& bank = searching.bank;
    TMainForm& form = searching.form;
    tess::TFormSearch* window = searching.window;
    QVERIFY(window);
    bank.sql(QStringLiteral("update question set QstCon = '光的<b>折射</b><IMG SRC=\"images\\"
                            "ray.png\">' where QstID = 10"));
    search(window, QStringLiteral("折射"));
    QCOMPARE(window->GridHits->currentRow(), 0);
    const QString preview = window->TextPreview->toHtml();
    QVERIFY(preview.contains(QStringLiteral("入射角")));
    QVERIFY(preview.contains(QStringLiteral("✔")));
    QVERIFY(preview.contains(QStringLiteral("src=\"images\\ray.png\"")));

    bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon) "
                            "with recursive n(i) as (select 1 union all select i + 1 from n "
                            "where i < 600) select 100 + i, 2, 1 + i, '判断题', 1, '练习' || i "
                            "from n"));
    // What another program wrote is caught up with before the copy.
    form.navigator().CatchUp();
    messageArea(form)->clear();
    search(window, QStringLiteral("练习"));
    QCOMPARE(window->GridHits->rowCount(), tess::TFormSearch::kScreenful);
    QCOMPARE(window->LabelCount->text(),
             QStringLiteral("已列出 100 道题, 还有更多: 向下滚动列出."));
    QTest::keyClick(window->GridHits, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(window->GridHits->rowCount(), 2 * tess::TFormSearch::kScreenful);
    QCOMPARE(window->GridHits->item(199, 5)->text(), QStringLiteral("练习200"));

    QTest::mouseClick(window->BtnSelectAll, Qt::LeftButton);
    QCOMPARE(window->GridHits->rowCount(), 600);
    QCOMPARE(window->LabelCount->text(), QStringLiteral("找到 600 道题."));
    QCOMPARE(window->GridHits->selectionModel()->selectedRows().size(), 600);
    clickRow(form, 0);
    QCOMPARE(form.bank().CurPapID, 1);
    QTest::mouseClick(window->BtnCopy, Qt::LeftButton);
    QCOMPARE(messageArea(form)->toPlainText(), QStringLiteral("已把 600 道题复制到试卷 \"期中\"."));
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 1")), 601);
    QCOMPARE(bank.count(QStringLiteral("question where PapIdx = 1 and QstCon = '练习600'")), 1);
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty()) {
        search(window, QStringLiteral("折射"));
        window->grab().save(dir + QStringLiteral("/search-window-preview.png"));
    }
}

// A bank whose texts were never indexed (an earlier program's) gets its
// index once the window is up after the sign-in, or at the next search.
void TestSearchWindow::indexBuiltWithProgress() {
    Searching searching;
    EditorBank& bank = searching.bank;
    TMainForm& form = searching.form;
    QVERIFY(searching.window);
    bank.sql(QStringLiteral("delete from text_plain"));
    bank.sql(QStringLiteral("insert into text_stale (id) values (null)"));
    // A shared bank asks first: others cannot write while it is built.
    if (banktest::onServer()) {
        tess::Prompts::instance().queueYesNo(false);
        form.IndexBankTexts();
        QCOMPARE(bank.count(QStringLiteral("text_stale where id is null")), 1);
        QVERIFY(messageArea(form)->toPlainText().contains(QStringLiteral("检索索引没有建立")));
        messageArea(form)->clear();
        tess::Prompts::instance().queueYesNo(true);
    }
    form.IndexBankTexts();
    QCOMPARE(bank.count(QStringLiteral("text_stale")), 0);
    QCOMPARE(bank.count(QStringLiteral("text_plain")), 4); // two questions, two choices
    QVERIFY(messageArea(form)->toPlainText().isEmpty());

    bank.sql(QStringLiteral("insert into text_stale (id) values (null)"));
    if (banktest::onServer())
        tess::Prompts::instance().queueYesNo(true);
    search(searching.window, QStringLiteral("入射"));
    QCOMPARE(listed(searching.window), QStringList{QStringLiteral("期中|光的折射")});
    QCOMPARE(bank.count(QStringLiteral("text_stale")), 0);
}

QTEST_MAIN(TestSearchWindow)
#include "tst_searchwindow.moc"
