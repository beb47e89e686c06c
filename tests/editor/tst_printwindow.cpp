// Printed papers from the real main window: the print preview, printing and
// the PDF export, with the options asked first, on the selected paper.
#include "editorfixture.h"
#include "immutable.h"
#include "print/paperlayout.h"
#include "print/printedpaper.h"
#include "print/printoptionsdialog.h"
#include "print/printprompts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

using tess::PrintChoice;
using tess::PrintPrompts;
using tess::Prompts;

namespace {

const QString kPaper = QStringLiteral("期中测验");

// Paper 1: a true/false question whose picture is missing and a
// single-choice question; paper 2 has no questions; paper 3 is long enough
// to take more pages on its side than upright.
void fill(const EditorBank& bank) {
    auto setup = bank.setupRows();
    bank.paper(1, kPaper, QVariant(), 10);
    bank.sql(QStringLiteral(
        "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) values "
        "(1, 1, 1, '判断题', 4, '地球绕太阳转.<IMG SRC=\"images\\gone.png\">', 1), "
        "(2, 1, 2, '单选题', 6, '一年有几个季节?', 0)"));
    bank.sql(QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
                            "(1, 2, 1, 0, '三个'), (2, 2, 2, 1, '四个'), (3, 2, 3, 0, '五个')"));
    bank.paper(2, QStringLiteral("空卷"));
    bank.paper(3, QStringLiteral("长卷"), QVariant(), 120);
    QStringList rows;
    for (int i = 1; i <= 120; ++i)
        rows << QStringLiteral("(%1, 3, %2, '判断题', 1, '第 %2 题: 这一句话是对的还是错的?', 1)")
                    .arg(100 + i)
                    .arg(i);
    bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, "
                            "IsTrue) values ") +
             rows.join(QStringLiteral(", ")));
    setup.commit();
}

QAction* command(TMainForm& form, const char* name) {
    return form.findChild<QAction*>(QString::fromLatin1(name));
}

QStringList names(const QList<QAction*>& actions) {
    QStringList out;
    for (const QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("—") : a->objectName());
    return out;
}

QByteArray head(const QString& path, int size = 4) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

QString messages(const TMainForm& form) {
    return messageArea(form)->toPlainText();
}

void grab(QWidget* widget, const QString& name) {
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        widget->grab().save(dir + QLatin1Char('/') + name);
}

// Pages of the paper (or its key) laid out on their own, for comparing.
int pagesOf(int papId, bool answerKey, const QPageLayout& layout) {
    banktest::BankConnection conn(tess::ProgramFiles::PaperBankPath());
    tess::print::PrintOptions options;
    options.answerKey = answerKey;
    options.picturesFolder = tess::ProgramFiles::PicturesFolder();
    tess::print::PaperLayout paper(tess::print::readPrintedPaper(conn, papId), options);
    paper.layOut(layout);
    return paper.pageCount();
}

// A right click on the selected entry, then the command from its pop-up menu.
void fromPopup(TMainForm& form, QAction* action) {
    QWidget* viewport = form.navigator().ListView->viewport();
    const QPoint pos =
        form.navigator().ListView->visualRect(form.navigator().ListView->currentIndex()).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
    QApplication::sendEvent(viewport, &click);
    QTRY_VERIFY(form.PopMenuPaper->isVisible());
    QVERIFY(action->isEnabled());
    form.PopMenuPaper->setActiveAction(action);
    QTest::keyClick(form.PopMenuPaper, Qt::Key_Return);
    QTRY_VERIFY(!form.PopMenuPaper->isVisible());
}

} // namespace

class TestPrintWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        Prompts::instance().clear();
        PrintPrompts::instance().clear();
    }
    void menus();
    void commandsNeedASelectedPaper();
    void exportPdf_data();
    void exportPdf();
    void nothingWrittenWhenNotConfirmed_data();
    void nothingWrittenWhenNotConfirmed();
    void paperWithoutQuestions();
    void exportedFilesReadableAsUsual_data();
    void exportedFilesReadableAsUsual();
    void cancelledExportKeepsEarlierFiles_data();
    void cancelledExportKeepsEarlierFiles();
    void unwritableFolder_data();
    void unwritableFolder();
    void optionsDialog();
    void optionsDialogDrivesExport();
    void preview_data();
    void preview();
    void previewFollowsPageLayout();
    void printToFile_data();
    void printToFile();
    void cancelledPrintToFileLeavesNoFile();
    void hostileTextsPreviewedAndExported();
};

void TestPrintWindow::menus() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    const QString sep = QStringLiteral("—");
    QCOMPARE(names(form.MenuFile->actions()),
             (QStringList{QStringLiteral("OnNewPaper"), QStringLiteral("OnImportQuestions"),
                          QStringLiteral("OnExportMoodle"), sep, QStringLiteral("OnPrintPreview"),
                          QStringLiteral("OnPrint"), QStringLiteral("OnExportPdf"), sep,
                          QStringLiteral("ExitAction")}));
    const QStringList popup = names(form.PopMenuPaper->actions());
    QCOMPARE(popup.mid(popup.size() - 4),
             (QStringList{sep, QStringLiteral("OnPrintPreview"), QStringLiteral("OnPrint"),
                          QStringLiteral("OnExportPdf")}));
    QCOMPARE(command(form, "OnPrintPreview")->text(), QStringLiteral("打印预览..."));
    QCOMPARE(command(form, "OnPrint")->text(), QStringLiteral("打印..."));
    QCOMPARE(command(form, "OnExportPdf")->text(), QStringLiteral("导出 PDF..."));
    for (const char* name : {"OnPrintPreview", "OnPrint", "OnExportPdf"})
        QVERIFY2(!command(form, name)->statusTip().isEmpty(), name);

    form.MenuFile->popup(form.mapToGlobal(QPoint(10, 30)));
    QVERIFY(QTest::qWaitForWindowExposed(form.MenuFile));
    grab(form.MenuFile, QStringLiteral("print-file-menu.png"));
    QVERIFY(command(form, "OnPrint")->isEnabled());
    form.MenuFile->close();
}

// With no paper in the list the commands are greyed when the menu opens; run
// anyway (before the menu ever opened), they say what to do.
void TestPrintWindow::commandsNeedASelectedPaper() {
    EditorBank bank;
    TMainForm form;
    openBank(form);
    command(form, "OnExportPdf")->trigger();
    QCOMPARE(messages(form),
             QStringLiteral("错误: 没有选中的试卷, 请先在试卷列表中选择要导出的试卷."));
    form.MenuFile->popup(form.mapToGlobal(QPoint(10, 30)));
    QVERIFY(QTest::qWaitForWindowExposed(form.MenuFile));
    for (const char* name : {"OnPrintPreview", "OnPrint", "OnExportPdf"})
        QVERIFY2(!command(form, name)->isEnabled(), name);
    form.MenuFile->close();
    QVERIFY(filesIn(bank.dir.path()).filter(QStringLiteral(".pdf")).isEmpty());
}

void TestPrintWindow::exportPdf_data() {
    QTest::addColumn<bool>("answerKey");
    QTest::addColumn<bool>("popup");
    QTest::addColumn<QString>("typed"); // the name typed in the save dialog
    QTest::newRow("paper, File menu") << false << false << QStringLiteral("期中.pdf");
    QTest::newRow("paper and key, pop-up menu") << true << true << QStringLiteral("期中.pdf");
    QTest::newRow("no extension typed") << true << false << QStringLiteral("期中");
}

void TestPrintWindow::exportPdf() {
    QFETCH(bool, answerKey);
    QFETCH(bool, popup);
    QFETCH(QString, typed);
    EditorBank bank;
    fill(bank);
    const QString out = bank.dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    PrintPrompts::instance().queuePrintOptions(PrintChoice{answerKey, false});
    Prompts::instance().queueFile(out + QLatin1Char('/') + typed);
    if (popup)
        fromPopup(form, command(form, "OnExportPdf"));
    else
        command(form, "OnExportPdf")->trigger();

    const QString pdf = out + QStringLiteral("/期中.pdf");
    const QString key = out + QStringLiteral("/期中-答案.pdf");
    QStringList expected{QStringLiteral("期中.pdf")};
    if (answerKey)
        expected.prepend(QStringLiteral("期中-答案.pdf"));
    QCOMPARE(filesIn(out), expected); // nothing else, no temporary file left
    QCOMPARE(head(pdf), QByteArray("%PDF"));
    if (answerKey)
        QCOMPARE(head(key), QByteArray("%PDF"));

    const QStringList lines = messages(form).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].startsWith(QStringLiteral("警告: 找不到图片 gone.png")),
             qPrintable(lines[0]));
    const int pages = pagesOf(1, false, tess::print::defaultPageLayout());
    QString done = QStringLiteral("已导出试卷 \"%1\" (%2 页) 到 %3")
                       .arg(kPaper)
                       .arg(pages)
                       .arg(QDir::toNativeSeparators(pdf));
    if (answerKey)
        done += QStringLiteral(", 答案 (%1 页) 到 %2")
                    .arg(pagesOf(1, true, tess::print::defaultPageLayout()))
                    .arg(QDir::toNativeSeparators(key));
    QCOMPARE(lines[1], done + QLatin1Char('.'));
}

// Cancelled at the options or at the save dialog, or an existing file not to
// be replaced: nothing is written and the window says nothing.
void TestPrintWindow::nothingWrittenWhenNotConfirmed_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("options") << QStringLiteral("options");
    QTest::newRow("save dialog") << QStringLiteral("save");
    QTest::newRow("key file exists, not replaced") << QStringLiteral("replace");
}

void TestPrintWindow::nothingWrittenWhenNotConfirmed() {
    QFETCH(QString, where);
    EditorBank bank;
    fill(bank);
    const QString out = bank.dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    const QString key = out + QStringLiteral("/期中-答案.pdf");
    if (where == QLatin1String("replace")) {
        QFile old(key);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    Prompts& prompts = Prompts::instance();
    if (where == QLatin1String("options")) {
        PrintPrompts::instance().queuePrintOptions(std::nullopt);
    } else {
        PrintPrompts::instance().queuePrintOptions(PrintChoice{true, false});
        prompts.queueFile(where == QLatin1String("save") ? QString()
                                                         : out + QStringLiteral("/期中.pdf"));
        prompts.queueYesNo(false);
    }
    command(form, "OnExportPdf")->trigger();
    QCOMPARE(filesIn(out), where == QLatin1String("replace")
                               ? QStringList{QStringLiteral("期中-答案.pdf")}
                               : QStringList());
    QCOMPARE(head(key, 100), where == QLatin1String("replace") ? QByteArray("old") : QByteArray());
    QCOMPARE(messages(form), QString());
    if (where == QLatin1String("replace"))
        QVERIFY2(prompts.shownTexts().value(0).contains(QDir::toNativeSeparators(key)),
                 qPrintable(prompts.shownTexts().join(QLatin1Char('|'))));
}

// Nothing to print: said at once, before any dialog (none is queued: one
// asked for would fail the test).
void TestPrintWindow::paperWithoutQuestions() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    clickRow(form, 1);
    QCOMPARE(form.bank().CurPapID, 2);
    for (const char* name : {"OnPrintPreview", "OnPrint", "OnExportPdf"}) {
        messageArea(form)->clear();
        command(form, name)->trigger();
        QVERIFY2(messages(form).startsWith(QStringLiteral("错误: ")), qPrintable(messages(form)));
        QVERIFY2(!messages(form).contains(QLatin1Char('\n')), qPrintable(messages(form)));
    }
    QVERIFY(filesIn(bank.dir.path()).filter(QStringLiteral(".pdf")).isEmpty());
}

void TestPrintWindow::exportedFilesReadableAsUsual_data() {
    QTest::addColumn<bool>("replacing");
    QTest::newRow("new files") << false;
    QTest::newRow("replacing files") << true;
}

// The paper and its key are readable by whoever may read any new file of
// the teacher's (the copy room, a colleague), or as the files they replace
// were: not only by the teacher, as the names they are written under are.
void TestPrintWindow::exportedFilesReadableAsUsual() {
    QFETCH(bool, replacing);
    EditorBank bank;
    fill(bank);
    const QString out = bank.dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    const QString pdf = out + QStringLiteral("/期中.pdf");
    const QString key = out + QStringLiteral("/期中-答案.pdf");
    const QFileDevice::Permissions earlier =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    QFileDevice::Permissions expected;
    {
        QFile usual(out + QStringLiteral("/usual"));
        QVERIFY(usual.open(QIODevice::WriteOnly));
        expected = usual.permissions();
        usual.remove();
    }
    if (replacing) {
        for (const QString& path : {pdf, key}) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            QVERIFY(old.setPermissions(earlier));
        }
        expected = QFile::permissions(pdf);
    }
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    PrintPrompts::instance().queuePrintOptions(PrintChoice{true, false});
    Prompts::instance().queueFile(pdf);
    if (replacing)
        Prompts::instance().queueYesNo(true);
    command(form, "OnExportPdf")->trigger();
    QCOMPARE(head(pdf), QByteArray("%PDF"));
    QCOMPARE(head(key), QByteArray("%PDF"));
    QCOMPARE(QFile::permissions(pdf), expected);
    QCOMPARE(QFile::permissions(key), expected);
}

// The progress box's cancel during the export: the earlier files are as they
// were and no temporary file is left.
void TestPrintWindow::cancelledExportKeepsEarlierFiles_data() {
    QTest::addColumn<QString>("during");
    QTest::newRow("the paper") << QStringLiteral("正在排版试卷...");
    QTest::newRow("the key, the paper done") << QStringLiteral("正在排版答案...");
}

void TestPrintWindow::cancelledExportKeepsEarlierFiles() {
    QFETCH(QString, during);
    EditorBank bank;
    fill(bank);
    const QString out = bank.dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    const QString pdf = out + QStringLiteral("/期中.pdf");
    {
        QFile old(pdf);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    PrintPrompts::instance().queuePrintOptions(PrintChoice{true, false});
    Prompts::instance().queueFile(pdf);
    Prompts::instance().queueYesNo(true);
    bool cancelled = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, &form, [&form, &cancelled, &during] {
        auto* progress = form.findChild<QProgressDialog*>(QStringLiteral("PrintProgress"));
        if (cancelled || !progress || progress->labelText() != during)
            return;
        if (!qEnvironmentVariableIsEmpty("TESS_GRAB_DIR")) {
            progress->show();
            QVERIFY(QTest::qWaitForWindowExposed(progress));
            grab(progress, QStringLiteral("print-progress.png"));
        }
        progress->cancel();
        cancelled = true;
    });
    watch.start(0);
    command(form, "OnExportPdf")->trigger();
    watch.stop();
    QVERIFY(cancelled);
    QCOMPARE(messages(form), QStringLiteral("已取消导出 PDF, 没有写入任何文件."));
    QCOMPARE(filesIn(out), QStringList{QStringLiteral("期中.pdf")});
    QCOMPARE(head(pdf, 100), QByteArray("old"));
}

void TestPrintWindow::unwritableFolder_data() {
    QTest::addColumn<bool>("immutable");
    QTest::newRow("folder does not exist") << false;
    QTest::newRow("folder takes no files") << true;
}

void TestPrintWindow::unwritableFolder() {
    QFETCH(bool, immutable);
    EditorBank bank;
    fill(bank);
    const QString out = bank.dir.filePath(QStringLiteral("out"));
    std::optional<Immutable> locked;
    if (immutable) {
        QVERIFY(QDir().mkdir(out));
        locked.emplace(out);
        if (!locked->isSet())
            QSKIP("the immutable attribute cannot be set here");
    }
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    PrintPrompts::instance().queuePrintOptions(PrintChoice{true, false});
    Prompts::instance().queueFile(out + QStringLiteral("/期中.pdf"));
    command(form, "OnExportPdf")->trigger();
    // Which file, which folder, why, and what to do.
    const QString said = messages(form);
    QVERIFY2(said.startsWith(QStringLiteral("错误: 无法写入 ") +
                             QDir::toNativeSeparators(out + QStringLiteral("/期中.pdf"))),
             qPrintable(said));
    QVERIFY2(said.contains(immutable ? QStringLiteral("不允许新建文件") : QStringLiteral("不存在")),
             qPrintable(said));
    QVERIFY2(said.contains(QStringLiteral("换一个")), qPrintable(said));
    QVERIFY2(said.endsWith(QStringLiteral("没有导出任何文件.")), qPrintable(said));
    QCOMPARE(filesIn(out), QStringList());
    QCOMPARE(filesIn(bank.dir.path()).filter(QStringLiteral("期中")), QStringList());
}

void TestPrintWindow::optionsDialog() {
    tess::PrintOptionsDialog dialog(PrintChoice{});
    QCOMPARE(dialog.objectName(), QStringLiteral("PrintOptionsDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("打印选项"));
    auto* key = dialog.findChild<QCheckBox*>(QStringLiteral("ChkAnswerKey"));
    auto* numbers = dialog.findChild<QCheckBox*>(QStringLiteral("ChkChoiceNumbers"));
    QVERIFY(key && numbers);
    QCOMPARE(key->text(), QStringLiteral("含答案"));
    QCOMPARE(numbers->text(), QStringLiteral("选项用编号标注 (与网页相同)"));
    QVERIFY(!key->isChecked());
    QVERIFY(!numbers->isChecked());
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(&dialog))
            continue;
        QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
        if (qobject_cast<QAbstractButton*>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    grab(&dialog, QStringLiteral("print-options.png"));
    QTest::mouseClick(numbers, Qt::LeftButton, {}, QPoint(8, numbers->height() / 2));
    QCOMPARE(dialog.choice().choiceNumbers, true);
    QCOMPARE(dialog.choice().answerKey, false);

    tess::PrintOptionsDialog again(PrintChoice{true, true});
    QVERIFY(again.choice().answerKey && again.choice().choiceNumbers);
}

// The real options dialog decides what the export writes, and offers the
// last choice again the next time.
void TestPrintWindow::optionsDialogDrivesExport() {
    EditorBank bank;
    fill(bank);
    const QString out = bank.dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    Prompts::instance().setScripted(false);
    const auto scriptedAgain = qScopeGuard([] { Prompts::instance().setScripted(true); });
    bool offeredKey = true;
    const auto answer = [&offeredKey](bool tick) {
        onNextModal<tess::PrintOptionsDialog>([&offeredKey, tick](tess::PrintOptionsDialog* d) {
            auto* key = d->findChild<QCheckBox*>(QStringLiteral("ChkAnswerKey"));
            offeredKey = key->isChecked();
            if (tick)
                QTest::mouseClick(key, Qt::LeftButton, {}, QPoint(8, key->height() / 2));
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("OKBtn")), Qt::LeftButton);
        });
    };
    answer(true);
    Prompts::instance().queueFile(out + QStringLiteral("/a.pdf"));
    command(form, "OnExportPdf")->trigger();
    QVERIFY(!offeredKey);
    QCOMPARE(filesIn(out), (QStringList{QStringLiteral("a-答案.pdf"), QStringLiteral("a.pdf")}));

    answer(false);
    Prompts::instance().queueFile(out + QStringLiteral("/b.pdf"));
    command(form, "OnExportPdf")->trigger();
    QVERIFY(offeredKey);
    QVERIFY(QFile::exists(out + QStringLiteral("/b-答案.pdf")));
}

void TestPrintWindow::preview_data() {
    QTest::addColumn<bool>("answerKey");
    QTest::newRow("paper") << false;
    QTest::newRow("paper then key") << true;
}

// The real preview: the paper's pages, then the key's, each laid out as on
// their own.
void TestPrintWindow::preview() {
    QFETCH(bool, answerKey);
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    const QPageLayout a4 = tess::print::defaultPageLayout();
    const int expected = pagesOf(1, false, a4) + (answerKey ? pagesOf(1, true, a4) : 0);
    int pages = -1;
    QString title;
    QWidget* owner = nullptr;
    PrintPrompts::instance().queuePrintOptions(PrintChoice{answerKey, false});
    PrintPrompts::instance().queuePreview([&](QPrintPreviewDialog& dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* widget = dialog.findChild<QPrintPreviewWidget*>();
        QVERIFY(widget);
        QTRY_VERIFY(widget->pageCount() > 0);
        pages = widget->pageCount();
        title = dialog.windowTitle();
        owner = dialog.parentWidget();
        QCOMPARE(dialog.findChild<QAction*>(QStringLiteral("PreviewPrint"))->text(),
                 QStringLiteral("打印"));
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<QLineEdit*>(w) ||
                                 qobject_cast<QPrintPreviewWidget*>(w);
            if (!control || !w->isVisible() || w->parent()->inherits("QComboBox"))
                continue;
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        grab(&dialog, QStringLiteral("print-preview.png"));
        if (answerKey) {
            // The key's first page follows the paper's last.
            widget->setCurrentPage(pagesOf(1, false, a4) + 1);
            grab(&dialog, QStringLiteral("print-preview-key.png"));
        }
    });
    fromPopup(form, command(form, "OnPrintPreview"));
    QCOMPARE(pages, expected);
    QCOMPARE(title, QStringLiteral("打印预览 - ") + kPaper);
    QCOMPARE(owner, &form);
    QVERIFY2(messages(form).startsWith(QStringLiteral("警告: 找不到图片 gone.png")),
             qPrintable(messages(form)));
    QVERIFY(form.findChildren<QPrintPreviewDialog*>().isEmpty());
}

// Turned on its side in the preview, the paper is laid out again for it.
void TestPrintWindow::previewFollowsPageLayout() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    clickRow(form, 2);
    QPageLayout landscape = tess::print::defaultPageLayout();
    landscape.setOrientation(QPageLayout::Landscape);
    const int upright = pagesOf(3, false, tess::print::defaultPageLayout());
    const int onItsSide = pagesOf(3, false, landscape);
    QVERIFY2(onItsSide > upright,
             qPrintable(QStringLiteral("%1 upright, %2 on its side").arg(upright).arg(onItsSide)));
    QList<int> seen;
    PrintPrompts::instance().queuePrintOptions(PrintChoice{});
    PrintPrompts::instance().queuePreview([&](QPrintPreviewDialog& dialog) {
        auto* widget = dialog.findChild<QPrintPreviewWidget*>();
        QVERIFY(widget);
        QTRY_VERIFY(widget->pageCount() > 0);
        seen << widget->pageCount();
        widget->setLandscapeOrientation();
        QTRY_COMPARE(widget->pageCount(), onItsSide);
        seen << widget->pageCount();
    });
    command(form, "OnPrintPreview")->trigger();
    QCOMPARE(seen, (QList<int>{upright, onItsSide}));
    QCOMPARE(messages(form), QString());
}

void TestPrintWindow::printToFile_data() {
    QTest::addColumn<bool>("answerKey");
    QTest::addColumn<bool>("writable");
    QTest::newRow("paper") << false << true;
    QTest::newRow("paper and key in one job") << true << true;
    QTest::newRow("printer refuses") << false << false;
}

// The print dialog's choice of printer (here: a PDF file) is printed to; a
// printer that refuses is reported.
void TestPrintWindow::printToFile() {
    QFETCH(bool, answerKey);
    QFETCH(bool, writable);
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    const QString target = bank.dir.filePath(writable ? QStringLiteral("printed.pdf")
                                                      : QStringLiteral("gone/printed.pdf"));
    PrintPrompts::instance().queuePrintOptions(PrintChoice{answerKey, false});
    PrintPrompts::instance().queuePrintDialog([&target](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        return true;
    });
    command(form, "OnPrint")->trigger();
    const QStringList lines = messages(form).split(QLatin1Char('\n'));
    QVERIFY2(lines.value(0).startsWith(QStringLiteral("警告: 找不到图片 gone.png")),
             qPrintable(messages(form)));
    if (!writable) {
        QCOMPARE(lines.value(1),
                 QStringLiteral("错误: 无法打印到文件 %1, 请检查文件夹是否存在并且可以写入.")
                     .arg(QDir::toNativeSeparators(target)));
        QVERIFY(!QFile::exists(target));
        return;
    }
    const QPageLayout a4 = tess::print::defaultPageLayout();
    const int pages = pagesOf(1, false, a4) + (answerKey ? pagesOf(1, true, a4) : 0);
    QCOMPARE(lines.value(1), QStringLiteral("试卷 \"%1\" 已打印到文件 %2 (%3 页).")
                                 .arg(kPaper, QDir::toNativeSeparators(target))
                                 .arg(pages));
    QCOMPARE(head(target), QByteArray("%PDF"));
}

// Cancelled while the pages go out (not while they are laid out): the file
// with only some of the pages is not left behind.
void TestPrintWindow::cancelledPrintToFileLeavesNoFile() {
    EditorBank bank;
    fill(bank);
    TMainForm form;
    openBank(form);
    clickRow(form, 2);
    const QString target = bank.dir.filePath(QStringLiteral("printed.pdf"));
    PrintPrompts::instance().queuePrintOptions(PrintChoice{});
    PrintPrompts::instance().queuePrintDialog([&target](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(target);
        return true;
    });
    QTimer watch;
    bool sawFile = false;
    connect(&watch, &QTimer::timeout, &form, [&form, &target, &sawFile] {
        auto* label = form.findChild<QLabel*>(QStringLiteral("PrintProgressLabel"));
        if (!label || label->text() != QStringLiteral("正在打印..."))
            return;
        sawFile = QFile::exists(target);
        form.findChild<QProgressDialog*>(QStringLiteral("PrintProgress"))->cancel();
    });
    watch.start(0);
    command(form, "OnPrint")->trigger();
    watch.stop();
    QVERIFY(sawFile);
    QCOMPARE(messages(form),
             QStringLiteral("已取消打印, 没有写入文件 %1.").arg(QDir::toNativeSeparators(target)));
    QVERIFY(!QFile::exists(target));
}

// A paper of texts as a hostile imported file brings them, tables nested a
// thousand deep and a line of 300000 characters: the preview opens with the
// paper's pages (the window never stops answering), the export is written,
// and each time the message area says which questions were not printed as
// they stand.
void TestPrintWindow::hostileTextsPreviewedAndExported() {
    EditorBank bank;
    {
        auto setup = bank.setupRows();
        bank.paper(1, QStringLiteral("恶意试卷"), QVariant(), 15);
        bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, "
                                "QstCon, IsTrue) values (1, 1, 1, '判断题', 5, '%1', 1), "
                                "(2, 1, 2, '判断题', 5, '%2', 1), "
                                "(3, 1, 3, '判断题', 5, '后面的题目照常印出', 1)")
                     .arg(QStringLiteral("<table border=1><tr><td>层").repeated(1000),
                          QString(300000, QChar(u'长'))));
        setup.commit();
    }
    TMainForm form;
    openBank(form);
    clickRow(form, 0);
    const QStringList warnings{
        QStringLiteral("警告: 一、判断题 第 1 题的文字嵌套过深, 最深处的表格和格式没有印出, "
                       "只印出了其中的文字."),
        QStringLiteral("警告: 一、判断题 第 2 题的文字嵌套过深或过长, 无法排版, 印成了 "
                       "\"[无法排版的题目]\". 请在试卷中简化这道题的文字后重新打印.")};

    int pages = -1;
    PrintPrompts::instance().queuePrintOptions(PrintChoice{});
    PrintPrompts::instance().queuePreview([&](QPrintPreviewDialog& dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* widget = dialog.findChild<QPrintPreviewWidget*>();
        QVERIFY(widget);
        QTRY_VERIFY(widget->pageCount() > 0);
        pages = widget->pageCount();
        grab(&dialog, QStringLiteral("print-preview-hostile.png"));
    });
    command(form, "OnPrintPreview")->trigger();
    QCOMPARE(pages, pagesOf(1, false, tess::print::defaultPageLayout()));
    QCOMPARE(messages(form).split(QLatin1Char('\n')), warnings);

    messageArea(form)->clear();
    const QString pdf = bank.dir.filePath(QStringLiteral("恶意.pdf"));
    PrintPrompts::instance().queuePrintOptions(PrintChoice{});
    Prompts::instance().queueFile(pdf);
    command(form, "OnExportPdf")->trigger();
    const QStringList lines = messages(form).split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 2), warnings);
    QVERIFY2(lines.value(2).startsWith(QStringLiteral("已导出试卷 \"恶意试卷\"")),
             qPrintable(lines.value(2)));
    QCOMPARE(head(pdf), QByteArray("%PDF"));
}

QTEST_MAIN(TestPrintWindow)
#include "tst_printwindow.moc"
