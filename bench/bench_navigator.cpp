// Time for the navigator to fill from a bank of 100,000 papers: opening the
// bank (which fills the list), a refill, each keystroke in the name filter
// (typed on, taken back, cleared by Esc), and a new paper selected at the end.
// Runs on the offscreen platform: QT_QPA_PLATFORM=offscreen bench_navigator
#include "app/tmainform.h"
#include "bank/paperbank.h"
#include "editor/paperlistmodel.h"
#include "editor/papernavigator.h"
#include "settings/programfiles.h"
#include "store/connection.h"
#include "store/schema.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    tess::ProgramFiles::SetExecutablePath(dir.filePath(QStringLiteral("tessaloom")));
    tess::createPaperBank(tess::ProgramFiles::PaperBankPath());
    {
        tess::Connection conn;
        conn.setDataSource(tess::ProgramFiles::PaperBankPath());
        conn.open();
        conn.execute(QStringLiteral(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000) "
            "insert into paper (PapID, PapNam, PapScr, PapSav, PapCtg) "
            "select i, '试卷' || i, 100, '/tmp/x.html', '类别' || (i % 10) from n"));
    }

    TMainForm form;
    form.SetSignedInAccount(QStringLiteral("Admin"));
    QElapsedTimer timer;
    timer.start();
    form.OpenPaperBank();
    form.show();
    QApplication::processEvents();
    std::printf("open the bank and fill the list: %lld ms, %d entries\n", timer.elapsed(),
                form.navigator().PaperListModel->rowCount());

    timer.restart();
    form.navigator().RefreshPaperList();
    QApplication::processEvents();
    std::printf("refill: %lld ms\n", timer.elapsed());

    // Each keystroke until the list has been painted again.
    QLineEdit* filter = form.navigator().EditPaperFilter;
    filter->setFocus();
    std::vector<double> keystrokes;
    auto key = [&](auto&& press) {
        QElapsedTimer t;
        t.start();
        press();
        QApplication::processEvents();
        keystrokes.push_back(double(t.nsecsElapsed()) / 1e6);
        std::printf("  filter \"%s\": %d entries, %.2f ms\n", qPrintable(filter->text()),
                    form.navigator().PaperListModel->rowCount(), keystrokes.back());
    };
    for (const QString& typed : {QStringLiteral("试"), QStringLiteral("卷"), QStringLiteral("9"),
                                 QStringLiteral("9"), QStringLiteral("9"), QStringLiteral("X")})
        key([&] { filter->insert(typed); });
    for (int i = 0; i < 3; ++i)
        key([&] { filter->backspace(); });
    key([&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(filter, &escape);
    });
    std::printf(
        "filter keystroke: median %.2f ms, slowest %.2f ms (goal: under 16 ms)\n",
        [v = keystrokes]() mutable {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        }(),
        *std::max_element(keystrokes.begin(), keystrokes.end()));

    timer.restart();
    form.OnNewPaper->trigger();
    QApplication::processEvents();
    std::printf("new paper, list refilled and the new entry selected: %lld ms (paper %d)\n",
                timer.elapsed(), form.bank().CurPapID);
    const QString messages =
        form.findChild<QPlainTextEdit*>(QStringLiteral("MessageArea"))->toPlainText();
    if (!messages.isEmpty())
        std::printf("messages: %s\n", qPrintable(messages));
    return 0;
}
