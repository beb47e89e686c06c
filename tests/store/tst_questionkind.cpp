// The question kinds and the words QstTyp holds for them.
#include "store/questionkind.h"

#include <QTest>

using tess::QuestionKind;

Q_DECLARE_METATYPE(QuestionKind)

class TestQuestionKind : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void kindOfWord_data();
    void kindOfWord();
    void wordsInTheKindsOrder();
};

void TestQuestionKind::kindOfWord_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QuestionKind>("kind");
    QTest::newRow("true/false") << QStringLiteral("判断题") << QuestionKind::TrueFalse;
    QTest::newRow("single choice") << QStringLiteral("单选题") << QuestionKind::Single;
    QTest::newRow("multiple choice") << QStringLiteral("多选题") << QuestionKind::Multiple;
    // Whatever else a bank holds reads as multiple choice, near misses included.
    QTest::newRow("another word") << QStringLiteral("填空题") << QuestionKind::Multiple;
    QTest::newRow("empty") << QString() << QuestionKind::Multiple;
    QTest::newRow("trailing blank") << QStringLiteral("判断题 ") << QuestionKind::Multiple;
    QTest::newRow("leading blank") << QStringLiteral(" 单选题") << QuestionKind::Multiple;
}

void TestQuestionKind::kindOfWord() {
    QFETCH(QString, word);
    QFETCH(QuestionKind, kind);
    QCOMPARE(tess::questionKindOf(word), kind);
}

void TestQuestionKind::wordsInTheKindsOrder() {
    const QStringList words = tess::questionTypeWords();
    QCOMPARE(words, (QStringList{QStringLiteral("判断题"), QStringLiteral("单选题"),
                                 QStringLiteral("多选题")}));
    for (int i = 0; i < words.size(); ++i) {
        const auto kind = QuestionKind(i);
        QCOMPARE(tess::questionTypeWord(kind), words.at(i));
        QCOMPARE(tess::questionKindOf(words.at(i)), kind);
    }
}

QTEST_GUILESS_MAIN(TestQuestionKind)
#include "tst_questionkind.moc"
