// Publishing from the real main window: the teacher selects a paper and asks
// for its page, by key, tool bar or the list's pop-up menu.
#include "editorfixture.h"
#include "generate/publish.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
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
    return form.MessageArea->toPlainText().split(QLatin1Char('\n'));
}

} // namespace

class TestPublishWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void publishSelectedPaper_data();
    void publishSelectedPaper();
    void failedCheckShowsBoxAndWritesNothing();

private:
    void trigger(TMainForm& form, const QString& how);
};

void TestPublishWindow::trigger(TMainForm& form, const QString& how) {
    if (how == QLatin1String("key")) {
        form.ListView->setFocus();
        QTest::keyClick(form.ListView, Qt::Key_S, Qt::ControlModifier);
    } else if (how == QLatin1String("toolbar")) {
        QToolButton* button = nullptr;
        for (QToolBar* bar : form.findChildren<QToolBar*>())
            if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(form.OnGenPaper)))
                button = b;
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        // A right click on the selected entry, then the entry's accelerator.
        QWidget* viewport = form.ListView->viewport();
        const QPoint pos = form.ListView->visualRect(form.ListView->currentIndex()).center();
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
    const QString pictures = TMainForm::PicturesFolder();
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
    QCOMPARE(form.CurPapID, 2);
    // As after a selection handler that failed half-way: the entry still rules.
    form.CurPapID = 1;
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
    form.ListView->setFocus();
    QTest::keyClick(form.ListView, Qt::Key_S, Qt::ControlModifier);

    const QString lines = QStringLiteral("试卷错误性检查...\n错误: 当前试卷有题目内容为空.");
    QCOMPARE(form.MessageArea->toPlainText(), lines);
    QCOMPARE(Prompts::instance().shownTexts(),
             QStringList{QStringLiteral("未通过试卷错误性检查,发现以下严重错误:\n\n") + lines});
    QVERIFY(opener.opened.isEmpty());
    QVERIFY(!QFile::exists(page));
}

QTEST_MAIN(TestPublishWindow)
#include "tst_publishwindow.moc"
