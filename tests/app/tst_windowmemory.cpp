// How the teacher left the main window and its file dialogs comes back at
// the next start: the window's place and size, maximised or not, the
// splitters, the grids' column widths, the folder each file dialog was last
// used in and the picture dialog's file type. A settings file with nonsense in
// it is harmless.
#include "editor/editorfixture.h"
#include "editor/gridfixture.h"
#include "editor/recordgrid.h"
#include "editor/teditor.h"
#include "print/printprompts.h"
#include "settings/inifile.h"
#include "settings/tdlgconfigure.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>

using tess::Prompts;
using tess::RecordGrid;

namespace {

RecordGrid* grid(const TMainForm& form, const char* name) {
    return form.findChild<RecordGrid*>(QLatin1String(name));
}

QList<int> columnWidths(const RecordGrid* grid) {
    QList<int> widths;
    for (int i = 0; i < grid->model()->columnCount(); ++i)
        widths << grid->columnWidth(i);
    return widths;
}

// Drags a splitter's boundary by delta pixels with the mouse.
void dragSplitter(QSplitter* splitter, int delta) {
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint from = handle->rect().center();
    const QPoint to =
        from + (splitter->orientation() == Qt::Horizontal ? QPoint(delta, 0) : QPoint(0, delta));
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, to);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
}

// Drags the right edge of a grid's column title by delta pixels with the mouse.
void dragColumn(RecordGrid* grid, int column, int delta) {
    QHeaderView* header = grid->horizontalHeader();
    const int edge = header->sectionViewportPosition(column) + header->sectionSize(column) - 1;
    const QPoint from(edge, header->height() / 2);
    const QPoint to = from + QPoint(delta, 0);
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(header->viewport(), to);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
}

QByteArray settingsFile() {
    QFile file(tess::ProgramFiles::SettingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines of one section, without the section line and blank lines.
QList<QByteArray> sectionLines(const QByteArray& file, const QByteArray& section) {
    QList<QByteArray> out;
    bool in = false;
    for (const QByteArray& raw : file.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('['))
            in = line == '[' + section + ']';
        else if (in && !line.isEmpty())
            out << line;
    }
    return out;
}

// Each file dialog of the program, opened as the teacher opens it. ready runs
// just before the step that brings the file dialog up (after any dialog that
// comes first).
void openDialog(
    TMainForm& form, const QString& which, const std::function<void()>& ready = [] {}) {
    if (which == QLatin1String("picture")) {
        // Over the question text: the pop-up menu offers the picture there.
        RecordGrid* questions = grid(form, "DBGridQuestion");
        gridtest::clickCell(questions, 0, 3);
        const QPoint pos = questions->visualRect(questions->currentIndex()).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, pos,
                                questions->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(questions->viewport(), &click);
        QTRY_VERIFY(form.PopMenuQuestion->isVisible());
        QVERIFY(form.OnInsertImage->isEnabled());
        ready();
        QTest::mouseClick(form.PopMenuQuestion, Qt::LeftButton, {},
                          form.PopMenuQuestion->actionGeometry(form.OnInsertImage).center());
    } else if (which == QLatin1String("import")) {
        ready();
        form.findChild<QAction*>(QStringLiteral("OnImportQuestions"))->trigger();
    } else if (which == QLatin1String("export")) {
        ready();
        form.findChild<QAction*>(QStringLiteral("OnExportMoodle"))->trigger();
    } else if (which == QLatin1String("pdf")) {
        tess::PrintPrompts::instance().queuePrintOptions(tess::PrintChoice{});
        ready();
        form.findChild<QAction*>(QStringLiteral("OnExportPdf"))->trigger();
    } else if (which == QLatin1String("page of the defaults")) {
        onNextModal<TDlgConfigure>([ready](TDlgConfigure* dialog) {
            ready();
            QTest::mouseClick(dialog->BtnSelDir, Qt::LeftButton);
            dialog->reject();
        });
        form.OnSetting->trigger();
    } else if (which == QLatin1String("page of the paper")) {
        onNextModal<TEditor>([ready](TEditor* dialog) {
            ready();
            QTest::mouseClick(dialog->BtnSelDir, Qt::LeftButton);
            dialog->reject();
        });
        form.OnEditPaper->trigger();
    } else {
        QFAIL(qPrintable(which));
    }
}

// The folder the real file dialog of which shows when it comes up; the
// dialog is cancelled.
QString startFolderOf(TMainForm& form, const QString& which) {
    QString folder;
    openDialog(form, which, [&folder] {
        onNextModal<QFileDialog>([&folder](QFileDialog* dialog) {
            folder = dialog->directory().absolutePath();
            dialog->reject();
        });
    });
    return folder;
}

// A bank with one paper of one question, and a window signed in on it.
void fill(const EditorBank& bank) {
    bank.paper(1, QStringLiteral("期中"));
    bank.question(1, 1, 1);
}

} // namespace

class TestWindowMemory : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { Prompts::instance().clear(); }
    void layoutRemembered_data();
    void layoutRemembered();
    void nonsenseIsHarmless_data();
    void nonsenseIsHarmless();
    void dialogsStartWhereLeft_data();
    void dialogsStartWhereLeft();
    void pictureTypeRemembered();
};

void TestWindowMemory::layoutRemembered_data() {
    QTest::addColumn<bool>("maximized");
    QTest::newRow("normal window") << false;
    QTest::newRow("maximised window") << true;
}

// Moved, resized, maximised or not, splitters and columns dragged: the next
// window comes back the same. The defaults keep their section and keys.
void TestWindowMemory::layoutRemembered() {
    QFETCH(bool, maximized);
    EditorBank bank;
    fill(bank);
    const QRect place(60, 40, 720, 520);
    QList<int> work, right, main, questionWidths, choiceWidths;
    {
        TMainForm form;
        form.setGeometry(place);
        openBank(form);
        QCOMPARE(form.geometry(), place);
        if (maximized) {
            form.showMaximized();
            QTRY_VERIFY(form.isMaximized());
            QTRY_VERIFY(form.width() > place.width());
        }
        const QList<int> before = part<QSplitter>(form, "SplitterWork")->sizes();
        dragSplitter(part<QSplitter>(form, "SplitterWork"), 60);
        dragSplitter(part<QSplitter>(form, "SplitterRight"), -40);
        dragSplitter(part<QSplitter>(form, "SplitterMain"), -50);
        QCOMPARE(part<QSplitter>(form, "SplitterWork")->sizes().at(0), before.at(0) + 60);
        dragColumn(grid(form, "DBGridQuestion"), 3, 80);
        dragColumn(grid(form, "DBGridChoice"), 2, -100);
        QCOMPARE(columnWidths(grid(form, "DBGridQuestion")), (QList<int>{56, 56, 30, 330, 70}));
        QCOMPARE(columnWidths(grid(form, "DBGridChoice")), (QList<int>{56, 64, 258}));
        work = part<QSplitter>(form, "SplitterWork")->sizes();
        right = part<QSplitter>(form, "SplitterRight")->sizes();
        main = part<QSplitter>(form, "SplitterMain")->sizes();
        questionWidths = columnWidths(grid(form, "DBGridQuestion"));
        choiceWidths = columnWidths(grid(form, "DBGridChoice"));
    }
    const QByteArray saved = settingsFile();
    QCOMPARE(sectionLines(saved, "Default").size(), 4);
    QVERIFY2(sectionLines(saved, "Window").size() >= 7, saved.constData());

    TMainForm form;
    openBank(form);
    QCOMPARE(form.isMaximized(), maximized);
    if (maximized)
        QTRY_VERIFY(form.width() > place.width());
    else
        QCOMPARE(form.geometry(), place);
    QCOMPARE(part<QSplitter>(form, "SplitterWork")->sizes(), work);
    QCOMPARE(part<QSplitter>(form, "SplitterRight")->sizes(), right);
    QCOMPARE(part<QSplitter>(form, "SplitterMain")->sizes(), main);
    QCOMPARE(columnWidths(grid(form, "DBGridQuestion")), questionWidths);
    QCOMPARE(columnWidths(grid(form, "DBGridChoice")), choiceWidths);
    if (maximized) {
        // Made normal again, it goes back to where it was before maximising.
        form.showNormal();
        QTRY_COMPARE(form.geometry(), place);
    }
    // Resized from there, the lower area takes its quarter again.
    form.resize(form.width() - 20, form.height() - 30);
    QTRY_COMPARE(part<QWidget>(form, "WorkArea")->height(),
                 (form.height() - form.menuBar()->height()) * 3 / 4);
}

void TestWindowMemory::nonsenseIsHarmless_data() {
    QTest::addColumn<QByteArray>("window"); // the [Window] section's lines
    QTest::addColumn<bool>("remembered");   // the geometry counts
    QTest::addColumn<QRect>("expected");    // where the window goes when it counts
    const QByteArray rest = "SplitterWork=300,20,5\nSplitterRight=-10,300\nSplitterMain=x,y\n"
                            "DBGridQuestion=56,56\nDBGridChoice=1e9,2,3\n";
    QTest::newRow("words") << QByteArray("Geometry=left,top,wide,high\nMaximized=yes\n" + rest)
                           << false << QRect();
    QTest::newRow("too few numbers")
        << QByteArray("Geometry=10,10,700\n" + rest) << false << QRect();
    QTest::newRow("no size") << QByteArray("Geometry=10,10,0,-5\n" + rest) << false << QRect();
    QTest::newRow("beyond any screen")
        << QByteArray("Geometry=10,10,2147483647,500\n" + rest) << false << QRect();
    QTest::newRow("empty values") << QByteArray("Geometry=\nSplitterWork=\nDBGridQuestion=\n")
                                  << false << QRect();
    // The offscreen screen is 800 × 800.
    QTest::newRow("off the screen")
        << QByteArray("Geometry=5000,4000,700,500\n") << true << QRect(50, 150, 700, 500);
    QTest::newRow("partly off the screen")
        << QByteArray("Geometry=500,-80,700,500\n") << true << QRect(100, 0, 700, 500);
    QTest::newRow("larger than the screen")
        << QByteArray("Geometry=-50,-50,3000,2000\n") << true << QRect(0, 0, 800, 800);
    QTest::newRow("widths out of reason")
        << QByteArray("Geometry=20,20,700,500\nDBGridQuestion=0,99999,30,250,70\n") << true
        << QRect(20, 20, 700, 500);
}

// A settings file edited by hand or left by another version: what makes no
// sense is passed over, a place off the screens is brought onto one, and the
// defaults still load.
void TestWindowMemory::nonsenseIsHarmless() {
    QFETCH(QByteArray, window);
    QFETCH(bool, remembered);
    QFETCH(QRect, expected);
    EditorBank bank;
    fill(bank);
    {
        QFile ini(tess::ProgramFiles::SettingsPath());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Default]\nDefPapScr=90\n[Window]\n" + window +
                  "[Folders]\nPicture=relative/images\nImport=\nPictureType=\xff\xfe\n");
    }
    TMainForm form;
    QCOMPARE(form.bank().Defaults.fullMark, 90);
    openBank(form);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    if (remembered) {
        // The offscreen platform's frame is 2 pixels wide and kept on the screen.
        QCOMPARE(form.size(), expected.size());
        QVERIFY2((form.geometry().topLeft() - expected.topLeft()).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("at %1,%2").arg(form.x()).arg(form.y())));
    } else {
        QCOMPARE(form.size(), QSize(688, 493));
        QVERIFY((form.geometry().center() - screen.center()).manhattanLength() <= 4);
    }
    QVERIFY(!form.isMaximized());
    QCOMPARE(part<QSplitter>(form, "SplitterWork")->sizes().at(0), 185);
    QCOMPARE(part<QSplitter>(form, "SplitterRight")->sizes().at(0), 209);
    QCOMPARE(part<QWidget>(form, "WorkArea")->height(),
             (form.height() - form.menuBar()->height()) * 3 / 4);
    QCOMPARE(columnWidths(grid(form, "DBGridChoice")), (QList<int>{56, 64, 358}));
    const QList<int> question = columnWidths(grid(form, "DBGridQuestion"));
    if (window.contains("99999")) {
        // Each within reason: none gone, none wider than a screen.
        QCOMPARE(question.at(0),
                 grid(form, "DBGridQuestion")->horizontalHeader()->minimumSectionSize());
        QVERIFY(question.at(1) > 56 && question.at(1) <= 4000);
    } else {
        QCOMPARE(question, (QList<int>{56, 56, 30, 250, 70}));
    }
    QCOMPARE(Prompts::instance().lastFolder(tess::FileDialogKind::Picture), QString());
    QVERIFY(messageArea(form)->toPlainText().isEmpty());
}

void TestWindowMemory::dialogsStartWhereLeft_data() {
    QTest::addColumn<QString>("which");
    QTest::addColumn<QString>("key"); // in the settings file's [Folders]
    QTest::addColumn<QString>("chosen");
    QTest::newRow("picture") << "picture"
                             << "Picture"
                             << "图片/地图.png";
    QTest::newRow("import") << "import"
                            << "Import"
                            << "题库/单元.xml";
    QTest::newRow("export") << "export"
                            << "Export"
                            << "导出/期中.xml";
    QTest::newRow("pdf") << "pdf"
                         << "Pdf"
                         << "打印/期中.pdf";
    QTest::newRow("page of the defaults") << "page of the defaults"
                                          << "Page"
                                          << "网页/卷.html";
    QTest::newRow("page of the paper") << "page of the paper"
                                       << "Page"
                                       << "网页/卷.html";
}

// A file chosen in a dialog: the next start opens that dialog in its folder,
// and only that one; the others still start in the program's folder.
void TestWindowMemory::dialogsStartWhereLeft() {
    QFETCH(QString, which);
    QFETCH(QString, key);
    QFETCH(QString, chosen);
    EditorBank bank;
    fill(bank);
    const QString path = bank.dir.filePath(chosen);
    const QString folder = QFileInfo(path).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    if (which == QLatin1String("picture")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("GIF89a");
    }
    {
        TMainForm form;
        openBank(form);
        Prompts::instance().queueFile(path);
        openDialog(form, which);
    }
    tess::IniFile ini;
    QVERIFY(ini.load(tess::ProgramFiles::SettingsPath()));
    QCOMPARE(sectionLines(settingsFile(), "Folders").size(), 1);
    QCOMPARE(ini.value(QStringLiteral("Folders"), key), std::optional<QString>(folder));

    TMainForm form;
    openBank(form);
    messageArea(form)->clear();
    Prompts::instance().setScripted(false); // the real dialogs, cancelled
    QCOMPARE(startFolderOf(form, which), folder);
    const QString other =
        which == QLatin1String("import") ? QStringLiteral("export") : QStringLiteral("import");
    QCOMPARE(startFolderOf(form, other), bank.dir.path());
    QVERIFY2(messageArea(form)->toPlainText().isEmpty(),
             qPrintable(messageArea(form)->toPlainText()));
}

// The picture dialog starts on all pictures, PNG and GIF shown; the file type
// the teacher chose there is chosen again at the next start.
void TestWindowMemory::pictureTypeRemembered() {
    EditorBank bank;
    fill(bank);
    const QString shots = bank.dir.filePath(QStringLiteral("截图"));
    QVERIFY(QDir().mkpath(shots));
    for (const char* name : {"板书.png", "anim.gif", "笔记.txt"}) {
        QFile file(shots + QLatin1Char('/') + QString::fromUtf8(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString gif = QStringLiteral("GIF(*.gif)");
    QStringList listed;
    QString firstType;
    {
        TMainForm form;
        openBank(form);
        Prompts::instance().setScripted(false);
        const auto choose = [&](QFileDialog* dialog) {
            firstType = dialog->selectedNameFilter();
            dialog->setDirectory(shots);
            auto* files = dialog->findChild<QFileSystemModel*>();
            QVERIFY(files);
            // The text file is not a picture; the PNG and the GIF are.
            const QModelIndex folderIndex = files->index(shots);
            QTRY_COMPARE(files->rowCount(folderIndex), 2);
            for (int i = 0; i < 2; ++i)
                listed << files->index(i, 0, folderIndex).data().toString();
            listed.sort();
            // The teacher picks the GIF type from the list, then types a name.
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            types->setFocus();
            while (types->currentText() != gif && types->currentIndex() < types->count() - 1)
                QTest::keyClick(types, Qt::Key_Down);
            QCOMPARE(types->currentText(), gif);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setFocus();
            QTest::keyClicks(name, QStringLiteral("anim.gif"));
            QTest::keyClick(name, Qt::Key_Return);
        };
        openDialog(form, QStringLiteral("picture"),
                   [&choose] { onNextModal<QFileDialog>(choose); });
    }
    QVERIFY(firstType.startsWith(QStringLiteral("所有图片文件")));
    QCOMPARE(listed, (QStringList{QStringLiteral("anim.gif"), QStringLiteral("板书.png")}));
    QVERIFY(QFileInfo::exists(tess::ProgramFiles::PicturesFolder() + QStringLiteral("/anim.gif")));

    TMainForm form;
    openBank(form);
    Prompts::instance().setScripted(false);
    QString type;
    QString folder;
    openDialog(form, QStringLiteral("picture"), [&] {
        onNextModal<QFileDialog>([&](QFileDialog* dialog) {
            type = dialog->selectedNameFilter();
            folder = dialog->directory().absolutePath();
            dialog->reject();
        });
    });
    QCOMPARE(type, gif);
    QCOMPARE(folder, shots);
}

QTEST_MAIN(TestWindowMemory)
#include "tst_windowmemory.moc"
