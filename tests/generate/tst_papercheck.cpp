#include "bankhelpers.h"
#include "checklines.h"
#include "generate/papercheck.h"
#include "paperfixture.h"
#include "store/engineerror.h"
#include "store/query.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tess;
using namespace checklines;

namespace {

const QString kTF = QStringLiteral("判断题");
const QString kSingle = QStringLiteral("单选题");
const QString kMulti = QStringLiteral("多选题");

// Builds the paper named by the case on a fresh bank and returns the id to check.
// Unless a case says otherwise the full mark is 100 and the marks add up to it.
int buildCase(PaperFixture& f, const QString& name) {
    // Another paper in the bank, full of defects, must never count.
    const int other = f.addPaper(QStringLiteral("别的试卷"), 5);
    const int o1 = f.addQuestion(other, 1, kSingle, 50, QString());
    f.addQuestion(other, 1, kMulti, 50, QStringLiteral("x"));
    f.addChoice(o1, 1, QString(), false);

    if (name == QLatin1String("missing paper"))
        return 99;
    const int pap = f.addPaper(QStringLiteral("期中考试"), 100);
    if (name == QLatin1String("no questions"))
        return pap;
    if (name == QLatin1String("no numbered question")) {
        // count() skips them, distinct lists the empty number once.
        f.addQuestion(pap, QVariant(), kTF, 50, QStringLiteral("a"));
        f.addQuestion(pap, QVariant(), kTF, 50, QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("duplicate numbers")) {
        f.addQuestion(pap, 1, kTF, 50, QStringLiteral("a"));
        f.addQuestion(pap, 1, kTF, 50, QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("marks over")) {
        f.addQuestion(pap, 1, kTF, 60, QStringLiteral("a"));
        f.addQuestion(pap, 2, kTF, 60, QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("marks under, null mark")) {
        f.addQuestion(pap, 1, kTF, 90, QStringLiteral("a"));
        f.addQuestion(pap, 2, kTF, QVariant(), QStringLiteral("b"));
        return pap;
    }
    if (name == QLatin1String("null question text") ||
        name == QLatin1String("empty text after a warning")) {
        const int mark = name.startsWith(QLatin1String("empty")) ? 40 : 50;
        f.addQuestion(pap, 1, kTF, 50, QStringLiteral("a"));
        f.addQuestion(pap, 2, kTF, mark,
                      name.startsWith(QLatin1String("empty")) ? QVariant(QString()) : QVariant());
        return pap;
    }
    if (name == QLatin1String("one choice before no correct")) {
        const int q = f.addQuestion(pap, 1, kMulti, 100, QStringLiteral("a"));
        f.addChoice(q, 1, QStringLiteral("c"), false);
        return pap;
    }
    if (name == QLatin1String("unknown type word has few choices")) {
        f.addQuestion(pap, 1, QStringLiteral("填空题"), 100, QStringLiteral("a"));
        return pap;
    }
    if (name == QLatin1String("single with two correct")) {
        const int q = f.addQuestion(pap, 1, kSingle, 100, QStringLiteral("a"));
        f.addChoices(q, 3, {1, 2});
        return pap;
    }
    if (name == QLatin1String("single two correct, then multi none correct")) {
        const int q1 = f.addQuestion(pap, 1, kSingle, 50, QStringLiteral("a"));
        f.addChoices(q1, 3, {1, 3});
        const int q2 = f.addQuestion(pap, 2, kMulti, 50, QStringLiteral("b"));
        f.addChoices(q2, 3, {});
        return pap;
    }
    if (name == QLatin1String("empty choice text of a true/false question")) {
        // Steps 6 to 8 leave true/false questions alone; step 9 looks at every question.
        const int q = f.addQuestion(pap, 1, kTF, 100, QStringLiteral("a"));
        f.addChoice(q, 1, QString(), true);
        return pap;
    }
    if (name == QLatin1String("empty choice text")) {
        const int q = f.addQuestion(pap, 1, kSingle, 100, QStringLiteral("a"));
        f.addChoice(q, 1, QStringLiteral("c"), true);
        f.addChoice(q, 2, QVariant(QString()), false);
        return pap;
    }
    if (name == QLatin1String("passing paper")) {
        f.addQuestion(pap, 1, kTF, 20, QStringLiteral("<b>地球是圆的</b>"));
        const int q2 = f.addQuestion(pap, 2, kSingle, 40, QStringLiteral("选一个"));
        f.addChoices(q2, 2, {2});
        const int q3 = f.addQuestion(pap, 7, kMulti, 40, QStringLiteral("选几个"));
        f.addChoices(q3, 4, {1, 3});
        return pap;
    }
    qFatal("unknown case");
}

} // namespace

class TestPaperCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findings_data();
    void findings();
    void engineErrorsReachTheCaller();
};

void TestPaperCheck::findings_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("passed");
    QTest::newRow("missing paper") << QStringList{kMissing} << false;
    QTest::newRow("no questions") << QStringList{kEmpty} << true;
    QTest::newRow("no numbered question") << QStringList{kEmpty} << true;
    QTest::newRow("duplicate numbers") << QStringList{kDuplicate} << false;
    QTest::newRow("marks over") << QStringList{kOver} << true;
    QTest::newRow("marks under, null mark") << QStringList{kUnder} << true;
    QTest::newRow("null question text") << QStringList{kNoText} << false;
    QTest::newRow("empty text after a warning") << QStringList{kUnder, kNoText} << false;
    QTest::newRow("one choice before no correct") << QStringList{kFewChoices} << false;
    QTest::newRow("unknown type word has few choices") << QStringList{kFewChoices} << false;
    QTest::newRow("single with two correct") << QStringList{kSingleMany} << true;
    QTest::newRow("single two correct, then multi none correct")
        << QStringList{kSingleMany, kNoCorrect} << false;
    QTest::newRow("empty choice text of a true/false question")
        << QStringList{kNoChoiceText} << false;
    QTest::newRow("empty choice text") << QStringList{kNoChoiceText} << false;
    QTest::newRow("passing paper") << QStringList{} << true;
}

void TestPaperCheck::findings() {
    QFETCH(QStringList, lines);
    QFETCH(bool, passed);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PaperFixture f(dir.filePath(QStringLiteral("bank.mdb")));
    banktest::SetupTransaction rows(f.conn);
    const int papId = buildCase(f, QString::fromUtf8(QTest::currentDataTag()));
    rows.commit();

    Query query(f.conn);
    QStringList written;
    const bool result = checkPaper(query, papId, [&](const QString& line) { written << line; });
    QCOMPARE(written, lines);
    QCOMPARE(result, passed);
}

void TestPaperCheck::engineErrorsReachTheCaller() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString bank = dir.filePath(QStringLiteral("bank.mdb"));
    PaperFixture f(bank);
    banktest::SetupTransaction rows(f.conn);
    const int papId = buildCase(f, QStringLiteral("passing paper"));
    rows.commit();
    f.conn.close();
    QVERIFY(QFile::remove(bank));

    Query query(f.conn);
    QStringList written;
    QVERIFY_THROWS_EXCEPTION(
        EngineError, checkPaper(query, papId, [&](const QString& line) { written << line; }));
    QVERIFY(written.isEmpty());
}

QTEST_GUILESS_MAIN(TestPaperCheck)
#include "tst_papercheck.moc"
