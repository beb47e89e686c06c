// Time for the navigator to fill from a bank of 100,000 papers: opening the
// bank (which fills the list), a refill, and a new paper selected at the end.
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
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <cstdio>

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
