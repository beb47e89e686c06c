// Papers and keys written as PDF, read back with the poppler tools as any
// reader of the file would: the texts, the pages, the fonts and the pictures;
// questions kept whole on a page; texts and pictures the layout must survive;
// paths that cannot be written and a cancelled export leaving nothing behind.
#include "bankhelpers.h"
#include "files/safefile.h"
#include "hostilefiles.h"
#include "immutable.h"
#include "killdrill.h"
#include "print/boundedhtml.h"
#include "print/paperlayout.h"
#include "print/printedpaper.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <optional>

using namespace tess;
using namespace tess::print;

namespace {

// What a tool wrote on its standard output, or a null text when it failed.
QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    return out.isNull() ? QStringLiteral("") : out;
}

// pdftotext -layout, one text a page.
QStringList pageTexts(const QString& pdf) {
    QStringList pages =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The text without any spacing, which the reader spreads by the glyphs' places.
QString compact(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!c.isSpace())
            out += c;
    return out;
}

QString compactText(const QString& pdf) {
    return compact(pageTexts(pdf).join(QString()));
}

int pdfPages(const QString& pdf) {
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                          QRegularExpression::MultilineOption);
    const auto m = pages.match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QSizeF pdfPageSize(const QString& pdf) {
    static const QRegularExpression size(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                         QRegularExpression::MultilineOption);
    const auto m = size.match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

// The rows of a listing below its "----" line.
QStringList tableRows(const QString& listing) {
    const QStringList lines = listing.split(QLatin1Char('\n'));
    QStringList rows;
    bool below = false;
    for (const QString& line : lines) {
        if (below && !line.trimmed().isEmpty())
            rows << line;
        below = below || line.startsWith(QLatin1String("---"));
    }
    return rows;
}

// pdffonts: each font's name with whether it is embedded.
QStringList fontsNotEmbedded(const QString& pdf, int* fonts) {
    static const QRegularExpression flags(
        QStringLiteral("\\s(yes|no)\\s+(yes|no)\\s+(yes|no)\\s+\\d+\\s+\\d+\\s*$"));
    const QStringList rows = tableRows(runTool(QStringLiteral("pdffonts"), {pdf}));
    QStringList bad;
    for (const QString& row : rows) {
        const auto m = flags.match(row);
        if (!m.hasMatch() || m.captured(1) != QLatin1String("yes"))
            bad << row;
    }
    *fonts = int(rows.size());
    return bad;
}

// pdfimages -list: the sizes of the pictures (their masks left out).
QList<QSize> pdfImages(const QString& pdf) {
    QList<QSize> sizes;
    const QStringList rows =
        tableRows(runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}));
    for (const QString& row : rows) {
        const QStringList cells = row.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (cells.size() > 4 && cells[2] == QLatin1String("image"))
            sizes << QSize(cells[3].toInt(), cells[4].toInt());
    }
    return sizes;
}

// The words of a page with the top and bottom of each, as pdftotext -bbox places them.
struct Word {
    QString text;
    qreal top = 0, bottom = 0;
};
QList<Word> pageWords(const QString& pdf, int page) {
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"[\\d.]+\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    const QString page1 = QString::number(page);
    QList<Word> words;
    auto it = word.globalMatch(runTool(QStringLiteral("pdftotext"),
                                       {QStringLiteral("-bbox"), QStringLiteral("-f"), page1,
                                        QStringLiteral("-l"), page1, pdf, QStringLiteral("-")}));
    while (it.hasNext()) {
        const auto m = it.next();
        words.append({m.captured(3), m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return words;
}

// The words of a page with the bottom of each.
QList<std::pair<QString, qreal>> wordBottoms(const QString& pdf, int page) {
    QList<std::pair<QString, qreal>> bottoms;
    for (const Word& w : pageWords(pdf, page))
        bottoms.append({w.text, w.bottom});
    return bottoms;
}

// The document's title as pdfinfo reads it.
QString pdfTitle(const QString& pdf) {
    static const QRegularExpression title(QStringLiteral("^Title:\\s+(.*)$"),
                                          QRegularExpression::MultilineOption);
    const auto m = title.match(runTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1) : QString();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Papers made in memory: the layout takes them as the bank gives them.
PrintedQuestion question(int number, QuestionKind kind, int mark, const QString& html,
                         const QVector<PageChoice>& choices = {}, bool answer = true) {
    PrintedQuestion q;
    q.number = number;
    q.content.kind = kind;
    q.content.mark = mark;
    q.content.html = html;
    q.content.answer = answer;
    q.content.choices = choices;
    return q;
}

PrintedSection section(QuestionKind kind, const QString& title,
                       const QVector<PrintedQuestion>& questions) {
    PrintedSection s;
    s.kind = kind;
    s.title = title;
    s.questions = questions;
    for (const PrintedQuestion& q : questions)
        s.marks += q.content.mark;
    return s;
}

PrintedPaper paperOf(const QString& name, const QVector<PrintedSection>& sections) {
    PrintedPaper paper;
    paper.papId = 1;
    paper.name = name;
    paper.sections = sections;
    paper.fullMark = paper.markSum();
    paper.fullMarkText = QString::number(paper.markSum());
    return paper;
}

// A question that must always follow a broken one on the page.
const QString kAfter = QStringLiteral("后面的题目照常印出");

PrintedPaper paperWithText(const QString& html) {
    return paperOf(QStringLiteral("坏题试卷"),
                   {section(QuestionKind::TrueFalse, QStringLiteral("一、判断题"),
                            {question(1, QuestionKind::TrueFalse, 5, html),
                             question(2, QuestionKind::TrueFalse, 5, kAfter)})});
}

// Questions of some lines with six long choices each, so that several share
// a page and some would be cut at a page's foot if the layout let them.
// Each starts with "题NNN" and its last choice ends with "末NNN".
PrintedPaper mediumQuestions() {
    const QString filler =
        QStringLiteral("阅读下面的材料，根据材料中给出的条件，判断哪一项说法正确，"
                       "并说明理由。");
    QVector<PrintedQuestion> tf, single;
    int n = 0;
    const auto tag = [](int number) {
        return QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    };
    for (int i = 1; i <= 7; ++i) {
        ++n;
        tf << question(i, QuestionKind::TrueFalse, 2,
                       QStringLiteral("题") + tag(n) + QLatin1Char(' ') + filler + filler +
                           QStringLiteral(" 末") + tag(n));
    }
    for (int i = 1; i <= 33; ++i) {
        ++n;
        QVector<PageChoice> choices;
        for (int c = 1; c <= 6; ++c) {
            QString text =
                QStringLiteral("这是第%1个选项，它的内容比较长，不能和别的选项排在同一行里").arg(c);
            if (c == 6)
                text += QStringLiteral(" 末") + tag(n);
            choices << PageChoice{QString::number(c), text, c == 2};
        }
        single << question(i, QuestionKind::Single, 2,
                           QStringLiteral("题") + tag(n) + QLatin1Char(' ') + filler + filler,
                           choices);
    }
    return paperOf(QStringLiteral("多题试卷"),
                   {section(QuestionKind::TrueFalse, QStringLiteral("一、判断题"), tf),
                    section(QuestionKind::Single, QStringLiteral("二、单选题"), single)});
}

} // namespace

class TestPrintPdf : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void paperAndKey_data();
    void paperAndKey();
    void nameAsThePageShowsIt_data();
    void nameAsThePageShowsIt();
    void questionsKeptWhole_data();
    void questionsKeptWhole();
    void badInput_data();
    void badInput();
    void hostileText_data();
    void hostileText();
    void realTextsLeftAsTheyAre_data();
    void realTextsLeftAsTheyAre();
    void pictureAfterALineOfText();
    void labelBesideAPicture_data();
    void labelBesideAPicture();
    void answerSpaceKeptOnOneLine_data();
    void answerSpaceKeptOnOneLine();
    void tallPictureNotCut();
    void titleNotLeftAlone();
    void paperAndKeyBothOrNeither();
    void pictureInATable();
    void unwritablePath_data();
    void unwritablePath();
    void cancelled_data();
    void cancelled();
    void hostilePictures_data();
    void hostilePictures();
    void killedPaperAndKey_data();
    void killedPaperAndKey();

private:
    QTemporaryDir m_dir;
    QString m_bank;
    QString m_pictures;
};

void TestPrintPdf::initTestCase() {
    for (const char* tool : {"pdftotext", "pdfinfo", "pdffonts", "pdfimages"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 "poppler-utils is missing: run scripts/install-deps.sh --tests");
    QVERIFY(m_dir.isValid());
    m_pictures = m_dir.filePath(QStringLiteral("images"));
    QVERIFY(QDir().mkpath(m_pictures));

    QImage leaf(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < leaf.height(); ++y)
        for (int x = 0; x < leaf.width(); ++x)
            leaf.setPixel(x, y, qRgb(x * 2, y * 3, 128));
    QVERIFY(leaf.save(m_pictures + QStringLiteral("/leaf.png")));
    QImage wide(480, 320, QImage::Format_RGB32);
    wide.fill(Qt::darkBlue);
    QVERIFY(wide.save(m_pictures + QStringLiteral("/wide.png")));
    // Beside the bank, not among its pictures: never to be read.
    QVERIFY(leaf.save(m_dir.filePath(QStringLiteral("outside.png"))));

    // A photograph-sized picture of more than ten megabytes.
    QImage big(8000, 6000, QImage::Format_RGB32);
    auto* random = QRandomGenerator::global();
    for (int y = 0; y < big.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x) {
            const int noise = int(random->bounded(48));
            line[x] = qRgb((x / 32 + noise) & 0xff, (y / 24 + noise) & 0xff, (x + y) / 56 & 0xff);
        }
    }
    const QString bigPath = m_pictures + QStringLiteral("/big.jpg");
    QVERIFY(big.save(bigPath, "JPEG", 80));
    QVERIFY2(QFileInfo(bigPath).size() > 10'000'000,
             qPrintable(QString::number(QFileInfo(bigPath).size())));

    // Two papers of the same questions, one whose marks fall short of its
    // full mark, one whose choices carry stored numbers other than 1, 2, 3.
    m_bank = m_dir.filePath(QStringLiteral("bank.mdb"));
    banktest::freshBank(m_bank);
    QStringList rows;
    for (int pap : {1, 2}) {
        const int q = pap * 10;
        const int first = pap == 1 ? 1 : 5;
        rows << QStringLiteral("insert into paper (PapID, PapNam, PapScr) values "
                               "(%1, '期中考试 数学', %2)")
                    .arg(pap)
                    .arg(pap == 1 ? 100 : 30)
             << QStringLiteral(
                    "insert into question (QstID, PapIdx, QstIdx, QstTyp, QstScr, QstCon, IsTrue) "
                    "values (%1, %2, 1, '判断题', 5, '<b>地球</b>绕着太阳转。', 1), "
                    "(%3, %2, 2, '判断题', 5, '水在 50 度沸腾。', 0), "
                    "(%4, %2, 3, '单选题', 10, '下面哪个是<b>质数</b>？<IMG "
                    "SRC=\"images\\leaf.png\">', 0), "
                    "(%5, %2, 4, '多选题', 10, '下表中哪些是偶数？<table border=1><tr><td>甲</td>"
                    "<td>乙</td></tr><tr><td>二</td><td>三</td></tr></table>', 0)")
                    .arg(q)
                    .arg(pap)
                    .arg(q + 1)
                    .arg(q + 2)
                    .arg(q + 3)
             << QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
                               "(%1, %2, %3, 0, '四'), (%4, %2, %5, 1, '七'), "
                               "(%6, %2, %7, 0, '九')")
                    .arg(q)
                    .arg(q + 2)
                    .arg(first)
                    .arg(q + 1)
                    .arg(first + 1)
                    .arg(q + 2)
                    .arg(first + 2)
             << QStringLiteral("insert into choice (ChcID, QstIdx, ChcIdx, IsTrue, ChcCon) values "
                               "(%1, %2, 1, 1, '二'), (%3, %2, 2, 0, '三'), "
                               "(%4, %2, 3, 1, '四'), (%5, %2, 4, 0, '五')")
                    .arg(q + 3)
                    .arg(q + 3)
                    .arg(q + 4)
                    .arg(q + 5)
                    .arg(q + 6);
    }
    banktest::BankConnection conn(m_bank);
    banktest::executeInOneTransaction(conn, rows);
}

void TestPrintPdf::paperAndKey_data() {
    QTest::addColumn<int>("papId");
    QTest::addColumn<bool>("numbers");
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("finding");
    QTest::addColumn<int>("fullMark");
    QTest::newRow("letters, marks short of the full mark")
        << 1 << false
        << QStringList{QStringLiteral("A．四B．七C．九"), QStringLiteral("A．二B．三C．四D．五")}
        << QStringList{QStringLiteral("答案：B"), QStringLiteral("答案：AC")}
        << QStringLiteral("警告:当前试卷所有题目的分值之和小于试卷预定的总分.") << 100;
    QTest::newRow("stored numbers, nothing to find")
        << 2 << true
        << QStringList{QStringLiteral("5．四6．七7．九"), QStringLiteral("1．二2．三3．四4．五")}
        << QStringList{QStringLiteral("答案：6"), QStringLiteral("答案：1,3")}
        << QStringLiteral("没有发现问题.") << 30;
}

void TestPrintPdf::paperAndKey() {
    QFETCH(int, papId);
    QFETCH(bool, numbers);
    QFETCH(QStringList, choices);
    QFETCH(QStringList, answers);
    QFETCH(QString, finding);
    QFETCH(int, fullMark);
    PrintedPaper paper;
    {
        banktest::BankConnection conn(m_bank);
        paper = readPrintedPaper(conn, papId);
    }
    PrintOptions options;
    options.choiceNumbers = numbers;
    options.picturesFolder = m_pictures;
    const QString pdf = m_dir.filePath(QStringLiteral("期中-%1.pdf").arg(papId));
    QList<std::pair<int, int>> steps;
    const auto progress = [&](int done, int total) {
        steps.append({done, total});
        return true;
    };
    const PdfResult written = writePaperPdf(paper, options, pdf, progress);
    QCOMPARE(written.error, QString());
    QVERIFY(!written.cancelled);
    QCOMPARE(written.missingPictures, QStringList());
    QCOMPARE(written.pages, QVector<int>{pdfPages(pdf)});
    // Progress goes forward to its end against one total.
    QVERIFY(!steps.isEmpty());
    for (qsizetype i = 0; i < steps.size(); ++i) {
        QVERIFY(steps[i].second > 0 && steps[i].second == steps[0].second);
        QVERIFY(steps[i].first >= 0 && steps[i].first <= steps[i].second);
        if (i > 0)
            QVERIFY(steps[i].first >= steps[i - 1].first);
    }
    QCOMPARE(steps.last().first, steps.last().second);

    QCOMPARE(pdfPages(pdf), 1);
    const QSizeF size = pdfPageSize(pdf);
    QVERIFY2(qAbs(size.width() - 595.3) < 1.5 && qAbs(size.height() - 841.9) < 1.5,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    int fonts = 0;
    QCOMPARE(fontsNotEmbedded(pdf, &fonts), QStringList());
    QVERIFY(fonts > 0);
    QCOMPARE(pdfImages(pdf), QList<QSize>{QSize(120, 80)});

    const QString text = compactText(pdf);
    const QStringList inOrder{
        QStringLiteral("期中考试数学"),
        QStringLiteral("（满分%1分）").arg(fullMark),
        QStringLiteral("班级"),
        QStringLiteral("姓名"),
        QStringLiteral("学号"),
        QStringLiteral("得分"),
        QStringLiteral("一、判断题（共2题，共10分）"),
        QStringLiteral("1．（5分）地球绕着太阳转。（）"),
        QStringLiteral("2．（5分）水在50度沸腾。（）"),
        QStringLiteral("二、单选题（共1题，共10分）"),
        QStringLiteral("1．（10分）下面哪个是质数？"),
        choices[0],
        QStringLiteral("三、多选题（共1题，共10分）"),
        QStringLiteral("1．（10分）下表中哪些是偶数？"),
        QStringLiteral("甲乙"),
        QStringLiteral("二三"),
        choices[1],
        QStringLiteral("第1页共1页"),
    };
    qsizetype at = 0;
    for (const QString& part : inOrder) {
        const qsizetype found = text.indexOf(part, at);
        QVERIFY2(found >= 0, qPrintable(part + QStringLiteral(" not after ") + text.left(at)));
        at = found + part.size();
    }
    // The students' paper gives nothing away.
    for (const QString& key : {QStringLiteral("√"), QStringLiteral("×"), QStringLiteral("答案"),
                               QStringLiteral("试卷检查")})
        QVERIFY2(!text.contains(key), qPrintable(key));

    options.answerKey = true;
    const QString keyPdf = answerKeyPath(pdf);
    QCOMPARE(keyPdf, m_dir.filePath(QStringLiteral("期中-%1-答案.pdf").arg(papId)));
    QCOMPARE(writePaperPdf(paper, options, keyPdf).error, QString());
    QCOMPARE(pdfPages(keyPdf), 1);
    QCOMPARE(fontsNotEmbedded(keyPdf, &fonts), QStringList());
    QCOMPARE(pdfImages(keyPdf), QList<QSize>{QSize(120, 80)});
    const QStringList keyPages = pageTexts(keyPdf);
    QCOMPARE(keyPages.size(), 1);
    const QString key = compact(keyPages[0]);
    const QStringList keyInOrder{
        QStringLiteral("期中考试数学"),
        QStringLiteral("参考答案"),
        QStringLiteral("满分%1分，共4题，各题分值之和30分").arg(fullMark),
        QStringLiteral("试卷检查"),
        finding,
        QStringLiteral("一、判断题（共2题，共10分）"),
        QStringLiteral("1．（5分）地球绕着太阳转。（√）"),
        QStringLiteral("2．（5分）水在50度沸腾。（×）"),
        choices[0],
        answers[0],
        choices[1],
        answers[1],
        QStringLiteral("第1页共1页"),
    };
    at = 0;
    for (const QString& part : keyInOrder) {
        const qsizetype found = key.indexOf(part, at);
        QVERIFY2(found >= 0, qPrintable(part + QStringLiteral(" not after ") + key.left(at)));
        at = found + part.size();
    }
    QVERIFY(!key.contains(QStringLiteral("班级")));
    QVERIFY(key.count(QStringLiteral("警告")) == (papId == 1 ? 1 : 0));
}

void TestPrintPdf::nameAsThePageShowsIt_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown"); // the header's text, without spacing
    QTest::addColumn<QString>("title");
    QTest::newRow("a bold part") << QStringLiteral("期中<b>测验</b>") << QStringLiteral("期中测验")
                                 << QStringLiteral("期中测验");
    QTest::newRow("an entity, an unclosed tag")
        << QStringLiteral("期中&amp;<i>测验") << QStringLiteral("期中&测验")
        << QStringLiteral("期中&测验");
    QTest::newRow("a tag written as entities")
        << QStringLiteral("期中&lt;b&gt;测验") << QStringLiteral("期中<b>测验")
        << QStringLiteral("期中<b>测验");
    QTest::newRow("a line break") << QStringLiteral("期中<br>测验 ") << QStringLiteral("期中测验")
                                  << QStringLiteral("期中 测验");
}

// The paper's name is HTML like its other texts: printed as its page shows
// it, at the title's size, and the PDF's title is its plain text.
void TestPrintPdf::nameAsThePageShowsIt() {
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(QString, title);
    PrintedPaper paper;
    {
        banktest::BankConnection conn(m_bank);
        paper = readPrintedPaper(conn, 1);
    }
    paper.name = name;
    PrintOptions options;
    options.picturesFolder = m_pictures;
    PrintOptions key = options;
    key.answerKey = true;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("卷.pdf"));
    const QString keyPdf = answerKeyPath(pdf);
    QCOMPARE(writePaperPdfs(paper, {{pdf, options}, {keyPdf, key}}).error, QString());

    const QString text = compactText(pdf);
    QVERIFY2(text.startsWith(shown + QStringLiteral("（满分100分）")), qPrintable(text));
    QCOMPARE(pdfTitle(pdf), title);
    const QString keyText = compactText(keyPdf);
    QVERIFY2(keyText.startsWith(shown + QStringLiteral("参考答案")), qPrintable(keyText));
    QCOMPARE(pdfTitle(keyPdf), title + QStringLiteral(" 参考答案"));

    // Still the title: larger than the lines below it.
    const QList<Word> words = pageWords(pdf, 1);
    QVERIFY(!words.isEmpty());
    const auto below = std::find_if(words.begin(), words.end(),
                                    [](const Word& w) { return w.text == QStringLiteral("班级"); });
    QVERIFY(below != words.end());
    QVERIFY2(words.first().bottom - words.first().top > 1.3 * (below->bottom - below->top),
             qPrintable(words.first().text));
}

void TestPrintPdf::questionsKeptWhole_data() {
    QTest::addColumn<bool>("answerKey");
    QTest::newRow("paper") << false;
    QTest::newRow("key") << true;
}

void TestPrintPdf::questionsKeptWhole() {
    QFETCH(bool, answerKey);
    const PrintedPaper paper = mediumQuestions();
    PrintOptions options;
    options.answerKey = answerKey;
    PaperLayout layout(paper, options);
    QVERIFY(layout.layOut(defaultPageLayout()));
    const QVector<int> starts = layout.questionPages();
    QCOMPARE(starts.size(), paper.questionCount());
    QVERIFY2(layout.pageCount() >= 5, qPrintable(QString::number(layout.pageCount())));

    const QString pdf = m_dir.filePath(QStringLiteral("medium.pdf"));
    QCOMPARE(writePaperPdf(paper, options, pdf).error, QString());
    const QStringList pages = pageTexts(pdf);
    QCOMPARE(pages.size(), layout.pageCount());
    QCOMPARE(pdfPages(pdf), layout.pageCount());
    QStringList texts;
    for (const QString& page : pages)
        texts << compact(page);
    const auto pagesWith = [&](const QString& part) {
        QList<int> found;
        for (int p = 0; p < texts.size(); ++p)
            if (texts[p].contains(part))
                found << p;
        return found;
    };
    for (int i = 0; i < starts.size(); ++i) {
        const QString n = QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        // Its start and its end once each, both on the page the layout gives.
        QCOMPARE(pagesWith(QStringLiteral("题") + n), QList<int>{starts[i]});
        QCOMPARE(pagesWith(QStringLiteral("末") + n), QList<int>{starts[i]});
    }
    // A section title is never left alone at a page's foot.
    QCOMPARE(pagesWith(QStringLiteral("二、单选题")), QList<int>{starts[7]});
    for (int p = 0; p < texts.size(); ++p)
        QVERIFY2(texts[p].contains(QStringLiteral("第%1页共%2页").arg(p + 1).arg(texts.size())),
                 qPrintable(texts[p]));
}

void TestPrintPdf::badInput_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QList<QSize>>("images");

    QTest::newRow("bold never closed")
        << QStringLiteral("<b>粗体没有结束，后文照常")
        << QStringList{QStringLiteral("粗体没有结束，后文照常")} << QStringList{} << QList<QSize>{};
    QTest::newRow("table closed but never opened")
        << QStringLiteral("前文</td></tr></table>后文")
        << QStringList{QStringLiteral("前文"), QStringLiteral("后文")} << QStringList{}
        << QList<QSize>{};
    QTest::newRow("table never closed")
        << QStringLiteral("前文<table><tr><td>格一<td>格二")
        << QStringList{QStringLiteral("前文"), QStringLiteral("格一"), QStringLiteral("格二")}
        << QStringList{} << QList<QSize>{};
    QTest::newRow("picture tag without a source")
        << QStringLiteral("看图<img>图后")
        << QStringList{QStringLiteral("看图"), QStringLiteral("图后")} << QStringList{}
        << QList<QSize>{};
    QTest::newRow("picture missing, named twice")
        << QStringLiteral(
               "缺图<IMG SRC=\"images\\gone.png\">中间<img src=\"images/gone.png\">缺图后")
        << QStringList{QStringLiteral("gone.png"), QStringLiteral("gone.png"),
                       QStringLiteral("缺图后")}
        << QStringList{QStringLiteral("gone.png")} << QList<QSize>{};
    // No picture of the folder: a box with the src, not "missing" from the folder.
    QTest::newRow("picture outside the pictures folder")
        << QStringLiteral("<IMG SRC=\"../outside.png\">外面的图")
        << QStringList{QStringLiteral("../outside.png"), QStringLiteral("外面的图")}
        << QStringList{} << QList<QSize>{};
    // Read smaller than it is, and printed once however large.
    QTest::newRow("picture of over ten megabytes")
        << QStringLiteral("<IMG SRC=\"images\\big.jpg\">大图之后")
        << QStringList{QStringLiteral("大图之后")} << QStringList{}
        << QList<QSize>{QSize(2400, 1800)};
    QTest::newRow("font size in pixels")
        << QStringLiteral("<span style=\"font-size:40px\">大字</span>小字<font size=7>更大</font>")
        << QStringList{QStringLiteral("大字"), QStringLiteral("小字"), QStringLiteral("更大")}
        << QStringList{} << QList<QSize>{};
    QTest::newRow("entities") << QStringLiteral("&lt;b&gt;不是粗体&amp;")
                              << QStringList{QStringLiteral("<b>不是粗体&")} << QStringList{}
                              << QList<QSize>{};
    QTest::newRow("empty text") << QString() << QStringList{QStringLiteral("1．（5分）（）")}
                                << QStringList{} << QList<QSize>{};
    QString longText;
    QStringList sentences;
    for (int i = 1; i <= 400; ++i) {
        sentences << QStringLiteral("第%1句。").arg(i);
        longText += QStringLiteral("这是一道很长的题目的第%1句。").arg(i);
    }
    QTest::newRow("text longer than a page")
        << longText << sentences << QStringList{} << QList<QSize>{};
    // Cut by the page break, the item goes on without a number of its own.
    QTest::newRow("list item longer than a page")
        << QStringLiteral("<ol><li>") + longText + QStringLiteral("</li><li>第二条</li></ol>")
        << QStringList{QStringLiteral("1.这是一道很长的题目的") + sentences.first()} +
               sentences.mid(1) + QStringList{QStringLiteral("2.第二条")}
        << QStringList{} << QList<QSize>{};
}

void TestPrintPdf::badInput() {
    QFETCH(QString, html);
    QFETCH(QStringList, printed);
    QFETCH(QStringList, missing);
    QFETCH(QList<QSize>, images);
    const PrintedPaper paper = paperWithText(html);
    PrintOptions options;
    options.picturesFolder = m_pictures;
    const QString pdf = m_dir.filePath(QStringLiteral("bad.pdf"));
    const PdfResult written = writePaperPdf(paper, options, pdf);
    QCOMPARE(written.error, QString());
    QVERIFY(!written.cancelled);
    QCOMPARE(written.missingPictures, missing);
    PaperLayout layout(paper, options);
    QVERIFY(layout.layOut(defaultPageLayout()));
    QCOMPARE(layout.missingPictures(), missing);

    const QStringList pages = pageTexts(pdf);
    QCOMPARE(pages.size(), layout.pageCount());
    QString text;
    for (const QString& page : pages)
        text += compact(page);
    // Each as often as it is listed: nothing lost, nothing printed twice.
    QStringList lost, twice;
    for (const QString& part : printed) {
        const qsizetype times = text.count(part);
        if (times == 0)
            lost << part;
        else if (times > printed.count(part))
            twice << part;
    }
    QVERIFY2(lost.isEmpty(), qPrintable(lost.join(u' ') + QStringLiteral(" not in ") + text));
    QVERIFY(text.contains(kAfter));
    QVERIFY2(twice.isEmpty(), qPrintable(twice.join(u' ')));
    QCOMPARE(pdfImages(pdf), images);
    int fonts = 0;
    QCOMPARE(fontsNotEmbedded(pdf, &fonts), QStringList());
    if (html.size() > 3000) {
        QVERIFY(layout.pageCount() >= 2);
        // Its first words on the first page, its last on a later one.
        QVERIFY(compact(pages.first()).contains(printed.first()));
        QVERIFY(compact(pages.last()).contains(printed.last()));
    }
}

namespace {

// Tables in tables, depth deep, with a word in each and one at the bottom.
QString nestedTables(int depth, bool closed = true) {
    QString html;
    for (int i = 0; i < depth; ++i)
        html += QStringLiteral("<table border=1><tr><td>层");
    html += QStringLiteral("最深处");
    if (closed)
        for (int i = 0; i < depth; ++i)
            html += QStringLiteral("</td></tr></table>");
    return html;
}

const QString kUnprintable = QStringLiteral("[无法排版的题目]");

} // namespace

// Texts as an attacker or a broken tool would make them: each is printed,
// flattened or as a box, with a warning naming the question, and the
// questions after it are printed as they stand.
void TestPrintPdf::hostileText_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<bool>("inChoice"); // the text of a choice, not of the question
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<QString>("warning");  // in the warning about question 1; empty: none
    QTest::addColumn<bool>("unprintable"); // printed as the box
    QTest::addColumn<int>("pages");        // at most

    const QString flattened = QStringLiteral("最深处的表格和格式没有印出");
    const QString refused = QStringLiteral("无法排版");
    const QStringList deepest{QStringLiteral("层"), QStringLiteral("最深处")};
    QTest::newRow("tables nested 500 deep")
        << nestedTables(500) + QStringLiteral("表后") << false
        << deepest + QStringList{QStringLiteral("表后")} << flattened << false << 3;
    QTest::newRow("tables nested 1000 deep")
        << nestedTables(1000) << false << deepest << flattened << false << 3;
    QTest::newRow("tables nested 1000 deep, never closed")
        << nestedTables(1000, false) << false << deepest << flattened << false << 3;
    QTest::newRow("tables nested 1000 deep in a choice")
        << nestedTables(1000) << true << deepest << flattened << false << 3;
    QTest::newRow("rows and cells never closed")
        << QStringLiteral("<table><tr><td>格").repeated(800) << false
        << QStringList{QStringLiteral("格")} << flattened << false << 3;
    QTest::newRow("divisions nested 5000 deep")
        << QStringLiteral("<div>段").repeated(5000) + QStringLiteral("</div>").repeated(5000)
        << false << QStringList{QStringLiteral("段段段")} << flattened << false << 3;
    // Each item a line of its own, as a browser shows them.
    QTest::newRow("lists nested 3000 deep, items never closed")
        << QStringLiteral("<ul><li>项").repeated(3000) << false << QStringList{QStringLiteral("项")}
        << flattened << false << 60;
    QTest::newRow("formats opened 5000 times, never closed")
        << QStringLiteral("<b><i><u>字").repeated(5000) << false
        << QStringList{QStringLiteral("字字字")} << flattened << false << 3;
    QTest::newRow("one line of 300000 characters")
        << QString(300000, QChar(u'长')) << false << QStringList{} << refused << true << 3;
    QTest::newRow("one line of 300000 characters in a choice")
        << QString(300000, QChar(u'长')) << true << QStringList{} << refused << true << 3;
    QTest::newRow("a long text in tables four deep")
        << QStringLiteral("<table><tr><td>").repeated(4) + QString(20000, QChar(u'格')) << false
        << QStringList{} << refused << true << 3;
    // Found by the layout fuzz target: the tables within a style never ended
    // are laid out too, though none of their words shows.
    QTest::newRow("tables after a style never ended")
        << QStringLiteral("<table><tr><td>层").repeated(8) + QStringLiteral("<style>") +
               QStringLiteral("<table><tr><td>层").repeated(20)
        << true << QStringList{QStringLiteral("层")} << flattened << false << 3;
    QTest::newRow("tables four deep are a paper's")
        << nestedTables(4) << false << deepest << QString() << false << 3;
    QTest::newRow("tag never ended")
        << QStringLiteral("前文<table border=\"1 ") + QString(5000, QChar(u'x')) << false
        << QStringList{QStringLiteral("前文")} << QString() << false << 3;
}

void TestPrintPdf::hostileText() {
    QFETCH(QString, html);
    QFETCH(bool, inChoice);
    QFETCH(QStringList, printed);
    QFETCH(QString, warning);
    QFETCH(bool, unprintable);
    QFETCH(int, pages);
    PrintedPaper paper = paperWithText(html);
    if (inChoice) {
        PrintedQuestion& first = paper.sections.first().questions.first();
        first.content.kind = QuestionKind::Single;
        first.content.html = QStringLiteral("题干");
        first.content.choices = {{QStringLiteral("1"), html, true},
                                 {QStringLiteral("2"), QStringLiteral("选项乙"), false}};
        printed << QStringLiteral("题干") << QStringLiteral("选项乙");
    }
    PrintOptions options;
    options.picturesFolder = m_pictures;
    PaperLayout layout(paper, options);
    QVERIFY(layout.layOut(defaultPageLayout()));
    const QStringList warnings = layout.warnings();
    if (warning.isEmpty()) {
        QCOMPARE(warnings, QStringList());
    } else {
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings.first().startsWith(QStringLiteral("一、判断题 第 1 题")),
                 qPrintable(warnings.first()));
        QVERIFY2(warnings.first().contains(warning), qPrintable(warnings.first()));
    }

    const QString pdf = m_dir.filePath(QStringLiteral("hostile.pdf"));
    const PdfResult written = writePaperPdf(paper, options, pdf);
    QCOMPARE(written.error, QString());
    QCOMPARE(written.warnings, warnings);
    QCOMPARE(written.pages.value(0), layout.pageCount());
    const QString text = compactText(pdf);
    for (const QString& part : std::as_const(printed))
        QVERIFY2(text.contains(part), qPrintable(part));
    QCOMPARE(text.contains(kUnprintable), unprintable);
    QVERIFY(text.contains(QStringLiteral("（5分）")));
    QVERIFY(text.contains(kAfter));
    // What the words take, not pages of one word to a line.
    QVERIFY2(layout.pageCount() <= pages, qPrintable(QString::number(layout.pageCount())));
}

// The texts of real papers go to the layout exactly as stored, so that their
// print is what it always was.
void TestPrintPdf::realTextsLeftAsTheyAre_data() {
    QTest::addColumn<QString>("html");
    QTest::newRow("plain") << QStringLiteral("地球绕着太阳转。");
    QTest::newRow("paragraphs never closed")
        << QStringLiteral("<p>第一段<p>第二段<p>第三段").repeated(100);
    QTest::newRow("list items never closed") << QStringLiteral("<ol>") +
                                                    QStringLiteral("<li>一项").repeated(200) +
                                                    QStringLiteral("</ol>");
    QTest::newRow("table cells never closed")
        << QStringLiteral("<table>") + QStringLiteral("<tr><td>甲<td>乙").repeated(300) +
               QStringLiteral("</table>");
    QTest::newRow("a word processor's page")
        << QStringLiteral("<html><head><style>p{margin:0}</style></head><body><div><table><tr>"
                          "<td><p><span style=\"font-size:20px\"><b><i><u><font color=red>"
                          "<sub>2</sub>&nbsp;<!-- note --></font></u></i></b></span></p></td>"
                          "</tr></table></div></body></html>");
    QTest::newRow("tables four deep") << nestedTables(4);
    QTest::newRow("stray end tags") << QStringLiteral("</td></tr></table></div>后文");
    QTest::newRow("a lone angle bracket") << QStringLiteral("a < b 且 b > c");
    QTest::newRow("a picture with a quoted '>'")
        << QStringLiteral("<img src=\"images\\a>b.png\" alt='<table>'>");
}

void TestPrintPdf::realTextsLeftAsTheyAre() {
    QFETCH(QString, html);
    const BoundedHtml bounded = boundHtml(html);
    QVERIFY(!bounded.flattened);
    QCOMPARE(bounded.html, html);
    QVERIFY(bounded.withinBudget());
}

// A picture too wide for what is left of its text's line goes to the next
// line, and takes its own height there only, as it does after a line break.
void TestPrintPdf::pictureAfterALineOfText() {
    const QString text =
        QStringLiteral("观察下图，下面关于光合作用的说法哪些是正确的？请说明理由。");
    const QString picture = QStringLiteral("<IMG SRC=\"images\\wide.png\">");
    const auto pages = [&](const QString& between) {
        QVector<PrintedQuestion> questions;
        for (int i = 1; i <= 6; ++i)
            questions << question(i, QuestionKind::TrueFalse, 5, text + between + picture);
        PrintOptions options;
        options.picturesFolder = m_pictures;
        PaperLayout layout(
            paperOf(QStringLiteral("看图"),
                    {section(QuestionKind::TrueFalse, QStringLiteral("一、判断题"), questions)}),
            options);
        return layout.layOut(defaultPageLayout()) ? layout.pageCount() : -1;
    };
    const int afterBreak = pages(QStringLiteral("<br>"));
    QVERIFY(afterBreak > 0);
    QCOMPARE(pages(QString()), afterBreak);
}

void TestPrintPdf::labelBesideAPicture_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QVector<PageChoice>>("choices");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text"); // beside the picture, on the same line
    const QString leaf = QStringLiteral("<IMG SRC=\"images\\leaf.png\">");
    QTest::newRow("question number") << leaf + QStringLiteral("看图") << QVector<PageChoice>{}
                                     << QStringLiteral("1．") << QStringLiteral("看图");
    QTest::newRow("choice label")
        << QStringLiteral("选哪个？")
        << QVector<PageChoice>{{QStringLiteral("1"), leaf + QStringLiteral("叶子"), true},
                               {QStringLiteral("2"), QStringLiteral("别的"), false}}
        << QStringLiteral("A．") << QStringLiteral("叶子");
}

// A number or a label stands on the line of the text beside it, however
// tall a picture makes that line, not above it at the picture's top.
void TestPrintPdf::labelBesideAPicture() {
    QFETCH(QString, html);
    QFETCH(QVector<PageChoice>, choices);
    QFETCH(QString, label);
    QFETCH(QString, text);
    const QuestionKind part = choices.isEmpty() ? QuestionKind::TrueFalse : QuestionKind::Single;
    const PrintedPaper paper =
        paperOf(QStringLiteral("看图"),
                {section(part, QStringLiteral("一、题"), {question(1, part, 5, html, choices)})});
    PrintOptions options;
    options.picturesFolder = m_pictures;
    const QString pdf = m_dir.filePath(QStringLiteral("beside.pdf"));
    QCOMPARE(writePaperPdf(paper, options, pdf).error, QString());
    std::optional<qreal> labelBottom, textBottom;
    for (const auto& [word, bottom] : wordBottoms(pdf, 1)) {
        if (word.startsWith(label))
            labelBottom = bottom;
        if (word.contains(text))
            textBottom = bottom;
    }
    QVERIFY(labelBottom && textBottom);
    QVERIFY2(qAbs(*labelBottom - *textBottom) < 1, qPrintable(QStringLiteral("%1 at %2, %3 at %4")
                                                                  .arg(label)
                                                                  .arg(*labelBottom)
                                                                  .arg(text)
                                                                  .arg(*textBottom)));
}

void TestPrintPdf::answerSpaceKeptOnOneLine_data() {
    QTest::addColumn<bool>("answerKey");
    QTest::newRow("paper") << false;
    QTest::newRow("key") << true;
}

// The brackets a true/false answer is written in (or printed in, in the key)
// are never parted at a line's end, whatever the length of the text before.
void TestPrintPdf::answerSpaceKeptOnOneLine() {
    QFETCH(bool, answerKey);
    QVector<PrintedQuestion> questions;
    // From well short of a line to well past one, a character at a time.
    for (int n = 30; n <= 60; ++n)
        questions << question(n - 29, QuestionKind::TrueFalse, 1, QString(n, QChar(0x5B57)), {},
                              n % 2 == 0);
    PrintOptions options;
    options.answerKey = answerKey;
    const QString pdf = m_dir.filePath(QStringLiteral("brackets.pdf"));
    QCOMPARE(writePaperPdf(paperOf(QStringLiteral("括号"),
                                   {section(QuestionKind::TrueFalse, QStringLiteral("一、判断题"),
                                            questions)}),
                           options, pdf)
                 .error,
             QString());
    int lines = 0;
    for (const QString& page : pageTexts(pdf))
        for (const QString& line : page.split(QLatin1Char('\n'))) {
            ++lines;
            QVERIFY2(line.count(QChar(0xFF08)) == line.count(QChar(0xFF09)), qPrintable(line));
        }
    QVERIFY(lines > questions.size());
}

// A question longer than a page that opens with a picture taller than what
// is left of the page starts on the next page, its picture whole, rather
// than have the picture cut in two by the page break.
void TestPrintPdf::tallPictureNotCut() {
    QImage tall(200, 900, QImage::Format_RGB32);
    tall.fill(Qt::darkRed);
    QVERIFY(tall.save(m_pictures + QStringLiteral("/tall.png")));
    const QString filler = QStringLiteral("这是用来占满版面的文字。");
    QString text;
    for (int i = 0; i < 200; ++i)
        text += filler;
    const PrintedPaper paper =
        paperOf(QStringLiteral("长题"),
                {section(QuestionKind::TrueFalse, QStringLiteral("一、判断题"),
                         {question(1, QuestionKind::TrueFalse, 5, filler.repeated(55)),
                          question(2, QuestionKind::TrueFalse, 5,
                                   QStringLiteral("<IMG SRC=\"images\\tall.png\">") + text)})});
    PrintOptions options;
    options.picturesFolder = m_pictures;
    PaperLayout layout(paper, options);
    QVERIFY(layout.layOut(defaultPageLayout()));
    QCOMPARE(layout.questionPages(), (QVector<int>{0, 1}));
    const QString pdf = m_dir.filePath(QStringLiteral("tall.pdf"));
    QCOMPARE(writePaperPdf(paper, options, pdf).error, QString());
    QStringList pagesWithPicture;
    for (const QString& row :
         tableRows(runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})))
        pagesWithPicture << row.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    QCOMPARE(pagesWithPicture, QStringList{QStringLiteral("2")});
    QCOMPARE(pdfPages(pdf), layout.pageCount());
}

// A key that cannot be written leaves the earlier paper in place, not a new
// paper beside an old key.
void TestPrintPdf::paperAndKeyBothOrNeither() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("卷.pdf"));
    QFile earlier(pdf);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("earlier");
    earlier.close();
    const PrintedPaper paper = paperWithText(QStringLiteral("内容"));
    PrintOptions key;
    key.answerKey = true;
    const QString keyPdf = dir.filePath(QStringLiteral("gone/卷-答案.pdf"));
    const PdfResult written = writePaperPdfs(paper, {{pdf, PrintOptions{}}, {keyPdf, key}});
    QVERIFY2(written.error.contains(QStringLiteral("卷-答案.pdf")), qPrintable(written.error));
    QVERIFY(written.pages.isEmpty());
    QCOMPARE(fileBytes(pdf), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("卷.pdf")});

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("gone")));
    const PdfResult both = writePaperPdfs(paper, {{pdf, PrintOptions{}}, {keyPdf, key}});
    QCOMPARE(both.error, QString());
    QCOMPARE(both.pages, (QVector<int>{pdfPages(pdf), pdfPages(keyPdf)}));
}

// A section title at the foot of a page, before a question longer than a
// page, goes over with it rather than stand alone. The first question's
// length moves the title through the last part of the page.
void TestPrintPdf::titleNotLeftAlone() {
    const QString filler = QStringLiteral("这是用来占满版面的文字。");
    const QString start = QStringLiteral("第二部分开头");
    for (int n = 100; n <= 160; n += 6) {
        const PrintedPaper paper = paperOf(
            QStringLiteral("标题"),
            {section(QuestionKind::TrueFalse, QStringLiteral("一、判断题"),
                     {question(1, QuestionKind::TrueFalse, 5, filler.repeated(n))}),
             section(QuestionKind::Multiple, QStringLiteral("二、多选题"),
                     {question(1, QuestionKind::Multiple, 5, start + filler.repeated(300))})});
        const QString pdf = m_dir.filePath(QStringLiteral("title%1.pdf").arg(n));
        QCOMPARE(writePaperPdf(paper, PrintOptions{}, pdf).error, QString());
        for (const QString& page : pageTexts(pdf)) {
            const QString text = compact(page);
            if (text.contains(QStringLiteral("二、多选题")))
                QVERIFY2(text.contains(start), qPrintable(QString::number(n) + u' ' + text));
        }
    }
}

// A picture in a table of the text is made to fit its column, not the whole
// width: the table stays within the margins, its other cells keep room.
void TestPrintPdf::pictureInATable() {
    QImage banner(900, 150, QImage::Format_RGB32);
    banner.fill(Qt::darkGreen);
    QVERIFY(banner.save(m_pictures + QStringLiteral("/banner.png")));
    const QString note = QStringLiteral("电路图的说明");
    const PrintedPaper paper =
        paperWithText(QStringLiteral("看表<table border=1><tr><td>") + note +
                      QStringLiteral("</td><td><IMG SRC=\"images\\banner.png\"></td></tr>"
                                     "</table>"));
    PrintOptions options;
    options.picturesFolder = m_pictures;
    const QString pdf = m_dir.filePath(QStringLiteral("table.pdf"));
    QCOMPARE(writePaperPdf(paper, options, pdf).error, QString());
    const QStringList words = [&] {
        QStringList all;
        for (const auto& [word, bottom] : wordBottoms(pdf, 1))
            all << word;
        return all;
    }();
    // On one line, not a character a line beside a picture as wide as the text.
    QVERIFY2(words.contains(note), qPrintable(words.join(u' ')));
    QVERIFY(compactText(pdf).contains(kAfter));
}

void TestPrintPdf::unwritablePath_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder that does not exist") << QStringLiteral("missing");
    QTest::newRow("read-only folder") << QStringLiteral("read-only");
    QTest::newRow("path of a folder") << QStringLiteral("folder");
}

void TestPrintPdf::unwritablePath() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("输出"));
    if (kind != QLatin1String("missing"))
        QVERIFY(QDir().mkpath(folder));
    QString pdf = folder + QStringLiteral("/试卷.pdf");
    if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(pdf));
    std::optional<Immutable> readOnly;
    if (kind == QLatin1String("read-only")) {
        readOnly.emplace(folder);
        if (!readOnly->isSet())
            QSKIP("the immutable attribute cannot be set here");
    }
    const PrintedPaper paper = paperWithText(QStringLiteral("内容"));
    const PdfResult written = writePaperPdf(paper, PrintOptions{}, pdf);
    const QString& message = written.error;
    readOnly.reset();
    QVERIFY(!written.cancelled);
    // Which file, what went wrong and what to do, in the user's language.
    QVERIFY2(message.contains(QStringLiteral("无法写入")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("试卷.pdf")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("请")), qPrintable(message));
    QCOMPARE(QFileInfo(pdf).isFile(), false);
    const QStringList left = QDir(kind == QLatin1String("folder") ? pdf : folder)
                                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(left, QStringList());
}

void TestPrintPdf::cancelled_data() {
    QTest::addColumn<int>("stopAt"); // a share of the total, in percent
    QTest::newRow("before anything") << 0;
    QTest::newRow("while laying out") << 25;
    QTest::newRow("while painting the pages") << 75;
}

void TestPrintPdf::cancelled() {
    QFETCH(int, stopAt);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("试卷.pdf"));
    // An earlier export stays as it was.
    {
        QFile earlier(pdf);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    const PrintedPaper paper = mediumQuestions();
    int calls = 0, afterStop = 0;
    bool stopped = false;
    const auto progress = [&](int done, int total) {
        ++calls;
        if (stopped)
            ++afterStop;
        stopped = stopped || done * 100 >= stopAt * total;
        return !stopped;
    };
    const PdfResult written = writePaperPdf(paper, PrintOptions{}, pdf, progress);
    QVERIFY(written.cancelled);
    QVERIFY(!written.error.isEmpty());
    QVERIFY(calls > 0);
    QCOMPARE(afterStop, 0);
    QCOMPARE(fileBytes(pdf), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("试卷.pdf")});
}

// A picture src or a pictures folder made to read what is not a picture of
// the folder: nothing outside the folder is opened (watched for any open),
// nothing that is no regular file of the folder, and the print finishes.
// "%OUT%" in the text is a readable picture beside the pictures folder.
void TestPrintPdf::hostilePictures_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("folder"); // what images/x.png is: "", fifo, link, folder, huge
    QTest::addColumn<QString>("warning");
    const QString elsewhere = QStringLiteral("不是图片文件夹中的图片");
    const QString notAFile = QStringLiteral("不是普通的图片文件");
    QTest::newRow("absolute path")
        << QStringLiteral("<img src=\"%OUT%\">") << QString() << elsewhere;
    QTest::newRow("file URL") << QStringLiteral("<img src=\"file://%OUT%\">") << QString()
                              << elsewhere;
    QTest::newRow("up from the pictures folder")
        << QStringLiteral("<img src=\"images/../outside.png\">") << QString() << elsewhere;
    QTest::newRow("up, with backslashes")
        << QStringLiteral("<IMG SRC=\"images\\..\\..\\outside.png\">") << QString() << elsewhere;
    QTest::newRow("up, escaped") << QStringLiteral("<img src=\"images/%2e%2e%2foutside.png\">")
                                 << QString() << elsewhere;
    QTest::newRow("relative to the working folder")
        << QStringLiteral("<img src=\"outside.png\">") << QString() << elsewhere;
    QTest::newRow("web address") << QStringLiteral("<img src=\"http://127.0.0.1:9/outside.png\">")
                                 << QString() << elsewhere;
    QTest::newRow("drive path") << QStringLiteral("<img src=\"C:\\Windows\\win.ini\">") << QString()
                                << elsewhere;
    QTest::newRow("background of a table")
        << QStringLiteral("<table background=\"%OUT%\"><tr><td "
                          "style=\"background-image:url(%OUT%)\">格</td></tr></table>")
        << QString() << elsewhere;
    QTest::newRow("FIFO in the pictures folder")
        << QStringLiteral("<IMG SRC=\"images\\x.png\">") << QStringLiteral("fifo") << notAFile;
    QTest::newRow("FIFO by absolute path") << QStringLiteral("<img src=\"%DIR%/images/x.png\">")
                                           << QStringLiteral("fifo") << elsewhere;
    QTest::newRow("link in the pictures folder to a picture outside")
        << QStringLiteral("<IMG SRC=\"images\\x.png\">") << QStringLiteral("link") << notAFile;
    QTest::newRow("folder named like a picture")
        << QStringLiteral("<IMG SRC=\"images\\x.png\">") << QStringLiteral("folder") << notAFile;
    QTest::newRow("picture of 40 MB") << QStringLiteral("<IMG SRC=\"images\\x.png\">")
                                      << QStringLiteral("huge") << QStringLiteral("大于 32 MB");
}

void TestPrintPdf::hostilePictures() {
    QFETCH(QString, html);
    QFETCH(QString, folder);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pictures = dir.filePath(QStringLiteral("images"));
    QVERIFY(QDir().mkpath(pictures));
    const QString outside = dir.filePath(QStringLiteral("outside.png"));
    QVERIFY(QFile::copy(m_pictures + QStringLiteral("/leaf.png"), outside));
    const QString x = pictures + QStringLiteral("/x.png");
    std::optional<hostile::Fifo> fifo;
    if (folder == QLatin1String("fifo"))
        QVERIFY(fifo.emplace(x).made());
    else if (folder == QLatin1String("link"))
        QVERIFY(QFile::link(outside, x));
    else if (folder == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(x));
    else if (folder == QLatin1String("huge"))
        QVERIFY(hostile::sparseFile(x, qint64(40) << 20));
    html.replace(QStringLiteral("%OUT%"), outside).replace(QStringLiteral("%DIR%"), dir.path());
    const hostile::OpenWatch watch(outside);
    QVERIFY(watch.valid());

    // Relative paths would be read from the working folder, where the
    // picture outside lies.
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const PrintedPaper paper =
        paperWithText(QStringLiteral("图前") + html + QStringLiteral("图后"));
    PrintOptions options;
    options.picturesFolder = pictures;
    const QString pdf = dir.filePath(QStringLiteral("卷.pdf"));
    const PdfResult written = writePaperPdf(paper, options, pdf);
    QVERIFY(QDir::setCurrent(working));

    QCOMPARE(written.error, QString());
    QVERIFY2(!watch.opened(), "the picture outside the pictures folder was opened");
    if (fifo)
        QVERIFY2(!fifo->opened(), "the FIFO was opened");
    QCOMPARE(written.missingPictures, QStringList());
    if (warning.isEmpty())
        QCOMPARE(written.warnings, QStringList());
    else
        QVERIFY2(written.warnings.join(u' ').contains(warning),
                 qPrintable(written.warnings.join(u' ')));
    QCOMPARE(pdfImages(pdf), QList<QSize>());
    const QString text = compactText(pdf);
    QVERIFY(text.contains(QStringLiteral("图后")));
    QVERIFY(text.contains(kAfter));
}

// The paper and its key of one print, the writer killed at each point where
// the folder already holds something of the new print: the folder never
// shows a paper beside the key of another print, and the next print leaves
// its own pair and nothing else.
void TestPrintPdf::killedPaperAndKey_data() {
    QTest::addColumn<QString>("stage");
    QTest::addColumn<QString>("paper"); // what the paper says once killed
    QTest::addColumn<QString>("key");   // what the key says; empty: no key
    QTest::newRow("recorded") << QStringLiteral("recorded") << "甲卷"
                              << "甲卷";
    QTest::newRow("old key removed") << QStringLiteral("cleared") << "甲卷"
                                     << "";
    QTest::newRow("between the two renames") << QStringLiteral("renamed") << "乙卷"
                                             << "";
    QTest::newRow("both in place") << QStringLiteral("settled") << "乙卷"
                                   << "乙卷";
}

void TestPrintPdf::killedPaperAndKey() {
    QFETCH(QString, stage);
    QFETCH(QString, paper);
    QFETCH(QString, key);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("卷.pdf"));
    const QString keyPdf = answerKeyPath(pdf);
    PrintOptions keyOptions;
    keyOptions.answerKey = true;
    const auto print = [&](const QString& name) {
        return writePaperPdfs(paperWithText(name), {{pdf, PrintOptions{}}, {keyPdf, keyOptions}});
    };
    QCOMPARE(print(QStringLiteral("甲卷")).error, QString());

    QCOMPARE(killdrill::killAt(stage, {pdf, QStringLiteral("乙卷")}), stage);
    QVERIFY(compactText(pdf).contains(paper));
    if (key.isEmpty())
        QVERIFY(!QFileInfo::exists(keyPdf));
    else
        QVERIFY(compactText(keyPdf).contains(key));

    QCOMPARE(print(QStringLiteral("丙卷")).error, QString());
    QVERIFY(compactText(pdf).contains(QStringLiteral("丙卷")));
    QVERIFY(compactText(keyPdf).contains(QStringLiteral("丙卷")));
    QCOMPARE(QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name),
             (QStringList{QStringLiteral("卷-答案.pdf"), QStringLiteral("卷.pdf")}));
}

// The child of killedPaperAndKey(): prints a paper of the given text and its
// key to the given path, stopping at the chosen stage. Fonts need a GUI
// application.
int printAndStop(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    killdrill::chosenStage() = argv[2];
    setWriteProbe(&killdrill::stopAtChosenStage);
    const QString pdf = QString::fromLocal8Bit(argv[3]);
    PrintOptions keyOptions;
    keyOptions.answerKey = true;
    const PdfResult written =
        writePaperPdfs(paperWithText(QString::fromLocal8Bit(argv[4])),
                       {{pdf, PrintOptions{}}, {answerKeyPath(pdf), keyOptions}});
    return written.error.isEmpty() ? 0 : 1;
}

QTEST_MAIN_WRAPPER(TestPrintPdf, if (argc == 5 && std::strcmp(argv[1], killdrill::ChildFlag) ==
                                                      0) return printAndStop(argc, argv);
                   QTEST_MAIN_SETUP())
#include "tst_printpdf.moc"
