// The defaults dialog, driven through keys and clicks on the offscreen platform.
#include "frame/prompts.h"
#include "settings/tdlgconfigure.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using tess::NewPaperDefaults;
using tess::Prompts;

namespace {

NewPaperDefaults sample() {
    NewPaperDefaults d;
    d.fullMark = 100;
    d.name = QStringLiteral("期中考试");
    d.outputFile = QStringLiteral("/srv/试卷/期中.html");
    d.category = QStringLiteral("数学");
    return d;
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // keyClicks() takes only ASCII; Chinese arrives as key events carrying their text.
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QCOMPARE(edit->text(), text);
}

// Runs fn on the modal dialog once exec() has shown it.
void onceModal(std::function<void(TDlgConfigure*)> fn) {
    QTimer::singleShot(0, [fn] {
        auto* dialog = qobject_cast<TDlgConfigure*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        fn(dialog);
    });
}

} // namespace

class TestDlgConfigure : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        Prompts::instance().clear();
        Prompts::instance().setScripted(true);
    }

    void layoutAndFilling() {
        TDlgConfigure dialog(nullptr, m_dir.path());
        NewPaperDefaults d = sample();
        d.fullMark = -7;
        dialog.setDefaults(d);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QCOMPARE(dialog.windowTitle(), QStringLiteral("系统参数设置"));
        QCOMPARE(dialog.size(), QSize(460, 340)); // a row for the page style below the four
        QVERIFY(dialog.minimumSize() != dialog.maximumSize()); // resizable
        QVERIFY(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);

        QCOMPARE(dialog.EditMark->text(), QStringLiteral("-7"));
        QCOMPARE(dialog.EditName->text(), d.name);
        QCOMPARE(dialog.EditFile->text(), d.outputFile);
        QCOMPARE(dialog.EditClass->text(), d.category);
        QVERIFY(!dialog.EditID->isEnabled());
        QVERIFY(dialog.EditID->text().isEmpty());
        QCOMPARE(dialog.BtnSelDir->text(), QStringLiteral("..."));
        QCOMPARE(dialog.OKBtn->text(), QStringLiteral("确定"));
        QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("取消"));
        QVERIFY(dialog.OKBtn->isDefault());
        QCOMPARE(dialog.focusWidget(), dialog.EditMark);

        // Tab order: the focusable widgets of the chain, starting at the full mark.
        const QList<QWidget*> expected{dialog.EditMark,  dialog.EditName,  dialog.EditFile,
                                       dialog.EditClass, dialog.BtnSelDir, dialog.CBPapStyle,
                                       dialog.OKBtn,     dialog.CancelBtn};
        QList<QWidget*> order{dialog.EditMark};
        for (QWidget* w = dialog.EditMark->nextInFocusChain(); w != dialog.EditMark;
             w = w->nextInFocusChain())
            if (w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                order << w;
        QCOMPARE(order, expected);

        // Nothing sticks out of the window or hides behind another control.
        for (QWidget* w : expected)
            QVERIFY(dialog.rect().contains(QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size())));
        QVERIFY(dialog.EditFile->geometry().right() < dialog.BtnSelDir->geometry().left());
        if (const QString dir = qEnvironmentVariable("TESS_GRAB_DIR"); !dir.isEmpty())
            dialog.grab().save(dir + QStringLiteral("/settings-defaults.png"));
    }

    // The four checks in order: the first failing one shows its message and
    // keeps the dialog open with the fields untouched.
    void okCheck_data() {
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("message"); // empty: the dialog closes with OK
        QTest::addColumn<int>("storedMark");

        const QString markMsg = QStringLiteral("试卷的分数应是一个整数!");
        const QString nameMsg = QStringLiteral("请输入试卷的缺省名字!");
        const QString fileMsg = QStringLiteral("请输入试卷的缺省的保存名字!");
        const QString classMsg = QStringLiteral("请输入试卷的缺省类别!");

        QTest::newRow("all good") << "120"
                                  << "单元测验"
                                  << "a.html"
                                  << "语文"
                                  << "" << 120;
        QTest::newRow("negative mark") << "-5"
                                       << "n"
                                       << "f"
                                       << "c"
                                       << "" << -5;
        QTest::newRow("zero mark") << "0"
                                   << "n"
                                   << "f"
                                   << "c"
                                   << "" << 0;
        QTest::newRow("blanks only") << "50"
                                     << "  "
                                     << " "
                                     << "   "
                                     << "" << 50;
        QTest::newRow("12a and empty name") << "12a"
                                            << ""
                                            << "f"
                                            << "c" << markMsg << 0;
        QTest::newRow("empty mark") << ""
                                    << "n"
                                    << "f"
                                    << "c" << markMsg << 0;
        QTest::newRow("mark beyond 32 bits") << "2147483648"
                                             << "n"
                                             << "f"
                                             << "c" << markMsg << 0;
        QTest::newRow("mark with blank") << "1 0"
                                         << "n"
                                         << "f"
                                         << "c" << markMsg << 0;
        QTest::newRow("empty name and file") << "10"
                                             << ""
                                             << ""
                                             << "c" << nameMsg << 0;
        QTest::newRow("empty file and category") << "10"
                                                 << "n"
                                                 << ""
                                                 << "" << fileMsg << 0;
        QTest::newRow("empty category") << "10"
                                        << "n"
                                        << "f"
                                        << "" << classMsg << 0;
    }
    void okCheck() {
        QFETCH(QString, mark);
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(QString, category);
        QFETCH(QString, message);
        QFETCH(int, storedMark);

        TDlgConfigure dialog(nullptr, m_dir.path());
        dialog.setDefaults(sample());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        typeInto(dialog.EditMark, mark);
        typeInto(dialog.EditName, name);
        typeInto(dialog.EditFile, file);
        typeInto(dialog.EditClass, category);
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);

        if (message.isEmpty()) {
            QCOMPARE(Prompts::instance().shownTexts(), QStringList());
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            const NewPaperDefaults d = dialog.defaults();
            QCOMPARE(d.fullMark, storedMark);
            QCOMPARE(d.name, name); // blanks and all
            QCOMPARE(d.outputFile, file);
            QCOMPARE(d.category, category);
        } else {
            QCOMPARE(Prompts::instance().shownTexts(), QStringList{message});
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.EditMark->text(), mark);
            QCOMPARE(dialog.EditName->text(), name);
            QCOMPARE(dialog.EditFile->text(), file);
            QCOMPARE(dialog.EditClass->text(), category);
        }
    }

    // The page style of new papers: shown as set, chosen by keys, given back
    // with OK, as the other defaults are.
    void pageStyle() {
        TDlgConfigure dialog(nullptr, m_dir.path());
        NewPaperDefaults d = sample();
        d.pageStyle = tess::PageStyle::Phone;
        dialog.setDefaults(d);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.CBPapStyle->currentText(), QStringLiteral("手机友好"));
        QCOMPARE(dialog.CBPapStyle->accessibleName(), QStringLiteral("新试卷的页面样式"));
        dialog.CBPapStyle->setFocus();
        QTest::keyClick(dialog.CBPapStyle, Qt::Key_Up);
        QCOMPARE(dialog.CBPapStyle->currentText(), QStringLiteral("经典"));
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.defaults().pageStyle, tess::PageStyle::Classic);
        QCOMPARE(dialog.defaults().name, d.name);
    }

    // Enter in a field is the default button; after a refusal the user can fix
    // the field and confirm again.
    void enterConfirmsAfterFix() {
        TDlgConfigure dialog(nullptr, m_dir.path());
        dialog.setDefaults(sample());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        typeInto(dialog.EditMark, QStringLiteral("abc"));
        QTest::keyClick(dialog.EditMark, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(Prompts::instance().shownTexts().size(), 1);
        typeInto(dialog.EditMark, QStringLiteral("+90"));
        QTest::keyClick(dialog.EditClass, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.defaults().fullMark, 90);
        QCOMPARE(Prompts::instance().shownTexts().size(), 1);
    }

    void selectFile_data() {
        QTest::addColumn<QString>("picked"); // "" = the file dialog is cancelled
        QTest::addColumn<QString>("expected");
        QTest::newRow("cancelled") << ""
                                   << "/srv/试卷/期中.html";
        QTest::newRow("picked") << "/home/老师/卷/新卷.html"
                                << "/home/老师/卷/新卷.html";
    }
    void selectFile() {
        QFETCH(QString, picked);
        QFETCH(QString, expected);
        TDlgConfigure dialog(nullptr, m_dir.path());
        dialog.setDefaults(sample());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Prompts::instance().queueFile(picked);
        QTest::mouseClick(dialog.BtnSelDir, Qt::LeftButton);
        QCOMPARE(dialog.EditFile->text(), expected);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
    }

    // The OnSetting command: OK stores every field, the others change nothing.
    void editFunction_data() {
        QTest::addColumn<QString>("closeBy");
        QTest::addColumn<bool>("stored");
        QTest::newRow("OK button") << "ok" << true;
        QTest::newRow("Cancel button") << "cancel" << false;
        QTest::newRow("Esc") << "esc" << false;
        QTest::newRow("close box") << "close" << false;
    }
    void editFunction() {
        QFETCH(QString, closeBy);
        QFETCH(bool, stored);
        QWidget owner;
        owner.resize(696, 527);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        NewPaperDefaults defaults = sample();
        bool shown = false;
        onceModal([&](TDlgConfigure* dialog) {
            shown = true;
            QCOMPARE(dialog->parentWidget(), &owner);
            QCOMPARE(dialog->EditName->text(), QStringLiteral("期中考试"));
            typeInto(dialog->EditMark, QStringLiteral("-3"));
            typeInto(dialog->EditName, QStringLiteral(" 期末 "));
            typeInto(dialog->EditFile, QStringLiteral("rel/out"));
            typeInto(dialog->EditClass, QStringLiteral("物理"));
            if (closeBy == QLatin1String("ok"))
                QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
            else if (closeBy == QLatin1String("cancel"))
                QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
            else if (closeBy == QLatin1String("esc"))
                QTest::keyClick(dialog->EditClass, Qt::Key_Escape);
            else
                dialog->close();
            // Never leave exec() running if a step above failed.
            if (dialog->isVisible())
                dialog->reject();
        });
        const bool result = tess::editNewPaperDefaults(&owner, defaults, m_dir.path());
        QVERIFY(shown);
        QCOMPARE(result, stored);
        const NewPaperDefaults expected =
            stored ? NewPaperDefaults{-3, QStringLiteral(" 期末 "), QStringLiteral("rel/out"),
                                      QStringLiteral("物理")}
                   : sample();
        QCOMPARE(defaults.fullMark, expected.fullMark);
        QCOMPARE(defaults.name, expected.name);
        QCOMPARE(defaults.outputFile, expected.outputFile);
        QCOMPARE(defaults.category, expected.category);
        QCOMPARE(Prompts::instance().shownTexts(), QStringList());
    }
};

QTEST_MAIN(TestDlgConfigure)
#include "tst_dlgconfigure.moc"
