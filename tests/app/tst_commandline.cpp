// --help and --version of the program and its tools, run as a user runs them.
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answers_data();
    void answers();
};

void TestCommandLine::answers_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    // What standard output holds: the whole text for --version, its start for --help.
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("whole");

    const QString version = QStringLiteral(TESS_PROJECT_VERSION);
    const QStringList programs{
        QStringLiteral("tessaloom"),       QStringLiteral("tessaloom-newbank"),
        QStringLiteral("tessaloom-bank"),  QStringLiteral("tessaloom-exchange"),
        QStringLiteral("tessaloom-print"), QStringLiteral("tessaloom-publish")};
    for (const QString& program : programs) {
        const QByteArray name = program.toUtf8();
        QTest::newRow((name + " --help").constData())
            << program << QStringList{QStringLiteral("--help")} << 0
            << QStringLiteral("用法: ") + program << false;
        QTest::newRow((name + " --version").constData())
            << program << QStringList{QStringLiteral("--version")} << 0
            << QStringLiteral("%1 (Tessaloom) %2\n").arg(program, version) << true;
    }
    // Asked for among other arguments, they are still answered, and nothing else is done.
    QTest::newRow("print: --help after a bank")
        << QStringLiteral("tessaloom-print")
        << QStringList{QStringLiteral("/nonexistent/bank.mdb"), QStringLiteral("1"),
                       QStringLiteral("/nonexistent/out.pdf"), QStringLiteral("--help")}
        << 0 << QStringLiteral("用法: tessaloom-print") << false;
    QTest::newRow("program: --version after --bank")
        << QStringLiteral("tessaloom")
        << QStringList{QStringLiteral("--bank"), QStringLiteral("/nonexistent/bank.mdb"),
                       QStringLiteral("--version")}
        << 0 << QStringLiteral("tessaloom (Tessaloom) %1\n").arg(version) << true;
    // A wrong use keeps the tools' code 2, its usage on standard error.
    QTest::newRow("newbank without a bank")
        << QStringLiteral("tessaloom-newbank") << QStringList{} << 2 << QString() << true;
    QTest::newRow("publish: unknown style")
        << QStringLiteral("tessaloom-publish")
        << QStringList{QStringLiteral("/nonexistent/bank.mdb"), QStringLiteral("1"),
                       QStringLiteral("/nonexistent/out.html"), QStringLiteral("--style"),
                       QStringLiteral("漂亮")}
        << 2 << QStringLiteral("页面样式 \"漂亮\" 不认识, 请写 经典 或 手机友好.\n") << true;
    QTest::newRow("exchange: unknown command")
        << QStringLiteral("tessaloom-exchange") << QStringList{QStringLiteral("merge")} << 2
        << QString() << true;
}

void TestCommandLine::answers() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(bool, whole);
    const QString path = qEnvironmentVariable("TESS_BIN_DIR") + QLatin1Char('/') + program;
    QVERIFY2(QFileInfo(path).isExecutable(), qPrintable(path));
    // No display of any kind: the answers must not need one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(path, args);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(p.exitCode() == code, qPrintable(stdErr));
    if (whole) {
        QCOMPARE(stdOut, out);
    } else {
        QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
        for (const char* option : {"\n  --help ", "\n  --version "})
            QVERIFY2(stdOut.contains(QLatin1String(option)), option);
    }
    if (code == 2)
        QVERIFY2(stdErr.startsWith(QStringLiteral("用法: ") + program), qPrintable(stdErr));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
