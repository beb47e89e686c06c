// Publishing from the real main window: the teacher selects a paper and asks
// for its page, by key, tool bar or the list's pop-up menu.
#include "editorfixture.h"
#include "generate/publish.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStringEncoder>
#include <QToolBar>
#include <QToolButton>

using tess::Prompts;

namespace {

struct RecordingOpener : tess::PageOpener {
    QStringList opened;
    void open(const QString& path) override { opened << path; }
};

// One true/false question worth the whole paper, ready to publish.
void publishablePaper(const EditorBank& bank, int id, const QString& name, const QString& output,
                      const QString& text = QStringLiteral("地球绕太阳转.")) {
    bank.paper(id, name, QVariant(), 5, output);
    bank.sql(QStringLiteral("insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, "
                            "IsTrue) values (%1, %2, 1, '判断题', 5, '%3', 1)")
                 .arg(id * 10)
                 .arg(id)
                 .arg(text));
}

QStringList messageLines(const TMainForm& form) {
    return messageArea(form)->toPlainText().split(QLatin1Char('\n'));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool pageHolds(const QString& path, const QString& text) {
    return fileBytes(path).contains(QByteArray(QStringEncoder("GB18030").encode(text)));
}

// Selects the paper in the list and presses Ctrl+S.
void publish(TMainForm& form, int papId) {
    clickRow(form, int(listIds(form).indexOf(papId)));
    QCOMPARE(form.bank().CurPapID, papId);
    form.navigator().ListView->setFocus();
    QTest::keyClick(form.navigator().ListView, Qt::Key_S, Qt::ControlModifier);
}

QString overwriteQuestion(const QString& page, const QString& last, const QString& now) {
    return QStringLiteral("文件 %1 是试卷 \"%2\" 生成的, 要用试卷 \"%3\" 覆盖它吗?")
        .arg(page, last, now);
}

} // namespace

class TestPublishWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void publishSelectedPaper_data();
    void publishSelectedPaper();
    void failedCheckShowsBoxAndWritesNothing();
    void anotherPapersPageAsked();
    void overwriteQuestionSaysNoOnEnter();
    void pictureKeptOnlyInTheBankIsFetched();

private:
    void trigger(TMainForm& form, const QString& how);
};

void TestPublishWindow::trigger(TMainForm& form, const QString& how) {
    if (how == QLatin1String("key")) {
        form.navigator().ListView->setFocus();
        QTest::keyClick(form.navigator().ListView, Qt::Key_S, Qt::ControlModifier);
    } else if (how == QLatin1String("toolbar")) {
        QToolButton* button = nullptr;
        for (QToolBar* bar : form.findChildren<QToolBar*>())
            if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(form.OnGenPaper)))
                button = b;
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        // A right click on the selected entry, then the entry's accelerator.
        QWidget* viewport = form.navigator().ListView->viewport();
        const QPoint pos = form.navigator()
                               .ListView->visualRect(form.navigator().ListView->currentIndex())
                               .center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &click);
        QTRY_VERIFY(form.PopMenuPaper->isVisible());
        QTest::keyClick(form.PopMenuPaper, Qt::Key_S);
    }
}

void TestPublishWindow::publishSelectedPaper_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Ctrl+S in the list") << QStringLiteral("key");
    QTest::newRow("tool bar") << QStringLiteral("toolbar");
    QTest::newRow("pop-up menu") << QStringLiteral("popup");
}

// The second paper is published although the first one is listed first: the
// page belongs to the selected entry; pictures go beside it, existing copies kept.
void TestPublishWindow::publishSelectedPaper() {
    QFETCH(QString, how);
    EditorBank bank;
    auto setup = bank.setupRows();
    const QString out = bank.dir.filePath(QStringLiteral("pages"));
    QVERIFY(QDir().mkdir(out));
    publishablePaper(bank, 1, QStringLiteral("第一单元"), out + QStringLiteral("/one.html"));
    publishablePaper(bank, 2, QStringLiteral("期中测验"), out + QStringLiteral("/期中"));
    const QString pictures = tess::ProgramFiles::PicturesFolder();
    QVERIFY(QDir().mkdir(pictures));
    for (const char* name : {"map.png", "kept.png"}) {
        QFile f(pictures + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("new");
    }
    QVERIFY(QDir().mkdir(out + QStringLiteral("/期中.files")));
    {
        QFile kept(out + QStringLiteral("/期中.files/kept.png"));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("old");
    }

    setup.commit();
    TMainForm form;
    RecordingOpener opener;
    form.SetPageOpener(&opener);
    openBank(form);
    clickRow(form, 1);
    QCOMPARE(form.bank().CurPapID, 2);
    // As after a selection handler that failed half-way: the entry still rules.
    form.bank().CurPapID = 1;
    form.AddMessage(QStringLiteral("an earlier line"));

    trigger(form, how);

    const QString page = out + QStringLiteral("/期中.html");
    QCOMPARE(messageLines(form),
             QStringList({QStringLiteral("试卷错误性检查..."), QString(),
                          QStringLiteral("正在生成试卷..."),
                          QStringLiteral("试卷成功生成到:") + page + QLatin1Char('.')}));
    QCOMPARE(opener.opened, QStringList{page});
    QVERIFY(Prompts::instance().shownTexts().isEmpty());
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QStringEncoder gbk("GB18030");
    QVERIFY(bytes.contains(QByteArray(gbk.encode(QStringLiteral("地球绕太阳转.")))));
    QVERIFY(bytes.contains(QByteArray(gbk.encode(QStringLiteral("期中测验")))));
    QVERIFY(!bytes.contains(QByteArray(gbk.encode(QStringLiteral("第一单元")))));
    QFile copied(out + QStringLiteral("/期中.files/map.png"));
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("new"));
    QFile kept(out + QStringLiteral("/期中.files/kept.png"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("old"));
    QVERIFY(!QFile::exists(out + QStringLiteral("/one.html")));
}

void TestPublishWindow::failedCheckShowsBoxAndWritesNothing() {
    EditorBank bank;
    auto setup = bank.setupRows();
    const QString page = bank.dir.filePath(QStringLiteral("empty.html"));
    publishablePaper(bank, 1, QStringLiteral("空题"), page, QString());

    setup.commit();
    TMainForm form;
    RecordingOpener opener;
    form.SetPageOpener(&opener);
    openBank(form);
    clickRow(form, 0);
    form.navigator().ListView->setFocus();
    QTest::keyClick(form.navigator().ListView, Qt::Key_S, Qt::ControlModifier);

    const QString lines = QStringLiteral("试卷错误性检查...\n错误: 当前试卷有题目内容为空.");
    QCOMPARE(messageArea(form)->toPlainText(), lines);
    QCOMPARE(Prompts::instance().shownTexts(),
             QStringList{QStringLiteral("未通过试卷错误性检查,发现以下严重错误:\n\n") + lines});
    QVERIFY(opener.opened.isEmpty());
    QVERIFY(!QFile::exists(page));
}

// Two papers share the default output file. The page is replaced by the other
// paper only when the teacher says Yes; the same paper again asks nothing.
void TestPublishWindow::anotherPapersPageAsked() {
    EditorBank bank;
    auto setup = bank.setupRows();
    const QString page = bank.dir.filePath(QStringLiteral("Untitled Paper.html"));
    const QString first = QStringLiteral("期中<b>测验</b>");
    const QString second = QStringLiteral("单元测验");
    publishablePaper(bank, 1, first, page, QStringLiteral("甲卷的题目."));
    publishablePaper(bank, 2, second, page, QStringLiteral("乙卷的题目."));
    setup.commit();
    const QString pictures = tess::ProgramFiles::PicturesFolder();
    QVERIFY(QDir().mkdir(pictures));
    TMainForm form;
    RecordingOpener opener;
    form.SetPageOpener(&opener);
    openBank(form);
    Prompts& prompts = Prompts::instance();
    const QString remembered =
        QStringLiteral("select PapID || ' ' || PapNam as v from published_page");

    publish(form, 1);
    QVERIFY(pageHolds(page, QStringLiteral("甲卷的题目.")));
    QCOMPARE(bank.scalar(remembered).toString(), QStringLiteral("1 ") + first);
    publish(form, 1);
    QCOMPARE(prompts.shownTexts(), QStringList());
    QCOMPARE(opener.opened, (QStringList{page, page}));
    const QByteArray firstPage = fileBytes(page);

    // No: nothing is written, not even a new picture beside the page.
    QFile picture(pictures + QStringLiteral("/new.png"));
    QVERIFY(picture.open(QIODevice::WriteOnly));
    picture.write("new");
    picture.close();
    prompts.queueYesNo(false);
    publish(form, 2);
    QCOMPARE(prompts.shownTexts(), QStringList{overwriteQuestion(page, first, second)});
    QCOMPARE(fileBytes(page), firstPage);
    QVERIFY(!QFile::exists(bank.dir.filePath(QStringLiteral("Untitled Paper.files/new.png"))));
    QCOMPARE(messageLines(form).mid(1),
             (QStringList{QString(), QStringLiteral("没有生成试卷, 文件 ") + page +
                                         QStringLiteral(" 保持原样.")}));
    QCOMPARE(opener.opened.size(), 2);
    QCOMPARE(bank.scalar(remembered).toString(), QStringLiteral("1 ") + first);
    if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
        form.grab().save(dir + QStringLiteral("/publish-declined.png"));

    // Yes: replaced, and now the second paper's.
    prompts.clear();
    prompts.queueYesNo(true);
    publish(form, 2);
    QCOMPARE(prompts.shownTexts(), QStringList{overwriteQuestion(page, first, second)});
    QVERIFY(pageHolds(page, QStringLiteral("乙卷的题目.")));
    QVERIFY(!pageHolds(page, QStringLiteral("甲卷的题目.")));
    QVERIFY(QFile::exists(bank.dir.filePath(QStringLiteral("Untitled Paper.files/new.png"))));
    QCOMPARE(messageLines(form).last(),
             QStringLiteral("试卷成功生成到:") + page + QLatin1Char('.'));
    QCOMPARE(bank.scalar(remembered).toString(), QStringLiteral("2 ") + second);
    QCOMPARE(opener.opened.size(), 3);

    prompts.clear();
    publish(form, 2);
    QCOMPARE(prompts.shownTexts(), QStringList());
    prompts.queueYesNo(true);
    publish(form, 1);
    QCOMPARE(prompts.shownTexts(), QStringList{overwriteQuestion(page, second, first)});
    QVERIFY(pageHolds(page, QStringLiteral("甲卷的题目.")));
    QCOMPARE(bank.scalar(remembered).toString(), QStringLiteral("1 ") + first);
}

// The real question box: the text as it stands (the name's tags shown, not
// read as markup), and Enter answers No.
void TestPublishWindow::overwriteQuestionSaysNoOnEnter() {
    EditorBank bank;
    auto setup = bank.setupRows();
    const QString page = bank.dir.filePath(QStringLiteral("Untitled Paper.html"));
    const QString first = QStringLiteral("期中<b>测验</b>");
    publishablePaper(bank, 1, first, page, QStringLiteral("甲卷的题目."));
    publishablePaper(bank, 2, QStringLiteral("单元测验"), page, QStringLiteral("乙卷的题目."));
    setup.commit();
    TMainForm form;
    RecordingOpener opener;
    form.SetPageOpener(&opener);
    openBank(form);
    publish(form, 1);
    const QByteArray firstPage = fileBytes(page);

    Prompts::instance().setScripted(false);
    QString text;
    Qt::TextFormat format = Qt::RichText;
    QString defaultButton;
    onNextModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            format = label->textFormat();
        if (box->defaultButton())
            defaultButton = box->defaultButton() == box->button(QMessageBox::No)
                                ? QStringLiteral("No")
                                : box->defaultButton()->text();
        if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
            box->grab().save(dir + QStringLiteral("/overwrite-question.png"));
        QTest::keyClick(box, Qt::Key_Return);
    });
    publish(form, 2);
    QCOMPARE(text, overwriteQuestion(page, first, QStringLiteral("单元测验")));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(defaultButton, QStringLiteral("No"));
    QCOMPARE(fileBytes(page), firstPage);
    QCOMPARE(opener.opened, QStringList{page});
    QCOMPARE(bank.scalar(QStringLiteral("select PapID as v from published_page")).toInt(), 1);
}

// On a server bank, a picture another teacher's machine inserted is fetched
// into this machine's pictures folder and goes beside the page.
void TestPublishWindow::pictureKeptOnlyInTheBankIsFetched() {
    if (!banktest::onServer())
        QSKIP("a bank file keeps no pictures");
    EditorBank bank;
    auto setup = bank.setupRows();
    const QString out = bank.dir.filePath(QStringLiteral("pages"));
    QVERIFY(QDir().mkdir(out));
    publishablePaper(bank, 1, QStringLiteral("光的折射"), out + QStringLiteral("/光.html"),
                     QStringLiteral("看图: <IMG SRC=\"images\\棱镜.png\">"));
    bank.sql(QStringLiteral("insert into picture (name, hash, content) values ('棱镜.png', "
                            "encode(sha256('prism'), 'hex'), 'prism')"));
    setup.commit();
    TMainForm form;
    RecordingOpener opener;
    form.SetPageOpener(&opener);
    openBank(form);
    publish(form, 1);

    QCOMPARE(opener.opened, QStringList{out + QStringLiteral("/光.html")});
    QVERIFY2(!messageArea(form)->toPlainText().contains(QStringLiteral("警告")),
             qPrintable(messageArea(form)->toPlainText()));
    QCOMPARE(fileBytes(tess::ProgramFiles::PicturesFolder() + QStringLiteral("/棱镜.png")),
             QByteArray("prism"));
    QCOMPARE(fileBytes(out + QStringLiteral("/光.files/棱镜.png")), QByteArray("prism"));
}

QTEST_MAIN(TestPublishWindow)
#include "tst_publishwindow.moc"
