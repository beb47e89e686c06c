// Time to write the page of a 1,000-question paper (half of them choice
// questions with eight choices), set against writing the same number of bytes
// to a file. Usage: bench_generate [page path]  (the page is kept there, for
// bench/mark_time.mjs to mark in Chromium).
#include "generate/paperwriter.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/tablecursor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

using namespace tess;

namespace {

void fillBank(Connection& conn, int questions) {
    TableCursor paper(conn, QStringLiteral("paper"));
    TableCursor question(conn, QStringLiteral("question"));
    TableCursor choice(conn, QStringLiteral("choice"));
    paper.open();
    question.open();
    choice.open();
    paper.insert();
    paper.setInteger(QStringLiteral("PapID"), 1);
    paper.setString(QStringLiteral("PapNam"), QStringLiteral("千题试卷"));
    paper.setInteger(QStringLiteral("PapScr"), questions);
    paper.setString(QStringLiteral("PapSav"), QStringLiteral("bench.html"));
    paper.post();
    int chcId = 1;
    for (int q = 1; q <= questions; ++q) {
        const bool withChoices = q % 2 == 0;
        question.insert();
        question.setInteger(QStringLiteral("QstID"), q);
        question.setInteger(QStringLiteral("PapIdx"), 1);
        question.setInteger(QStringLiteral("QstIdx"), q);
        question.setString(QStringLiteral("QstTyp"), !withChoices ? QStringLiteral("判断题")
                                                     : q % 4 == 0 ? QStringLiteral("单选题")
                                                                  : QStringLiteral("多选题"));
        question.setInteger(QStringLiteral("QstScr"), 1);
        question.setString(QStringLiteral("QstCon"),
                           QStringLiteral("第%1题: 下面关于<b>光合作用</b>的说法哪些是正确的? "
                                          "<IMG SRC=\"images\\leaf.jpg\">")
                               .arg(q));
        question.setBoolean(QStringLiteral("IsTrue"), q % 3 == 0);
        question.post();
        if (!withChoices)
            continue;
        for (int c = 1; c <= 8; ++c) {
            choice.insert();
            choice.setInteger(QStringLiteral("ChcID"), chcId++);
            choice.setInteger(QStringLiteral("QstIdx"), q);
            choice.setInteger(QStringLiteral("ChcIdx"), c);
            choice.setString(QStringLiteral("ChcCon"),
                             QStringLiteral("选项%1: 植物在阳光下把二氧化碳和水变成有机物").arg(c));
            choice.setBoolean(QStringLiteral("IsTrue"), c == 3 || (q % 4 != 0 && c == 6));
            choice.post();
        }
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString bank = dir.filePath(QStringLiteral("bench.mdb"));
    const QString page =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath(QStringLiteral("bench.html"));
    createPaperBank(bank);
    Connection conn;
    conn.setDataSource(bank);
    conn.open();
    QElapsedTimer fillTimer;
    fillTimer.start();
    fillBank(conn, 1000);
    out << "filled 1000 questions, 4000 choices in " << fillTimer.elapsed() << " ms\n";

    const PageSource source{1, QStringLiteral("千题试卷"), QStringLiteral("1000")};
    const int runs = 7;
    std::vector<double> build, encode, whole, plain;
    QByteArray bytes;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const QString text = buildPaperPage(conn, source, page);
        build.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        bytes = encodePageText(text);
        encode.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        writePaperPage(conn, source, page);
        whole.push_back(t.nsecsElapsed() / 1e6);
    }
    const QString plainPath = dir.filePath(QStringLiteral("plain.bin"));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        QFile file(plainPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return 1;
        file.close();
        plain.push_back(t.nsecsElapsed() / 1e6);
    }
    out << "page: " << bytes.size() << " bytes (" << page << ")\n"
        << "median of " << runs << " runs:\n"
        << "  build text        " << median(build) << " ms\n"
        << "  encode to GBK     " << median(encode) << " ms\n"
        << "  whole writePaperPage " << median(whole) << " ms\n"
        << "  plain write of the same bytes " << median(plain) << " ms\n"
        << "  ratio " << median(whole) / median(plain) << "\n";
    return 0;
}
