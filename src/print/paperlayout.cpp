#include "print/paperlayout.h"

#include "bank/pictures.h"
#include "files/safefile.h"
#include "print/boundedhtml.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextList>
#include <QTextObjectInterface>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace tess::print {

namespace {

// Everything is laid out at this resolution and painted scaled to the
// device's, so that the PDF, the printer and the preview break alike.
constexpr int kLayoutDpi = 1200;
// Lengths in the texts' HTML (picture sizes, table widths) are screen pixels.
constexpr qreal kCssScale = qreal(kLayoutDpi) / 96;

// Pictures are read at most this large: enough for the text width at print
// resolution, and a 10 MB photograph is not held at full size once per page.
constexpr int kMaxPicturePixels = 2400;

constexpr int kMissingPictureObject = QTextFormat::UserObject + 1;
constexpr int kPictureNameProperty = QTextFormat::UserProperty + 1;

QFont printFont(qreal points, bool bold = false) {
    QFont font;
    // TrueType faces first: their glyphs are embedded in the PDF as text.
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"),
                      QStringLiteral("AR PL UMing CN"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Serif CJK SC"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

const qreal kBodyPoints = 10.5; // the usual size of an examination paper's text

// A picture of the texts, read once for the whole paper.
struct Picture {
    QImage image;   // empty when it could not be read
    QSizeF natural; // its size in screen pixels, before any reduction
};

// The pictures of the texts, each read once for the whole paper, from the
// pictures folder only and by file name only: no other src is ever opened.
class PictureStore {
public:
    explicit PictureStore(QString folder) : m_folder(std::move(folder)) {}

    // The picture a src names; an empty one when it names none of the pictures
    // folder or that one cannot be read.
    const Picture& picture(const QString& source) {
        auto it = m_pictures.find(source);
        if (it == m_pictures.end())
            it = m_pictures.insert(source, read(source));
        return *it;
    }
    QStringList missing() const { return m_missing; }
    // Pictures passed over for other reasons than missing, a sentence each.
    QStringList notices() const { return m_notices; }

    // What the box in place of a picture says: its file name, or the src
    // itself (shortened) when it names no picture of the folder.
    static QString label(const QString& source) {
        const QString name = pictureNameOfSource(source);
        if (!name.isEmpty())
            return name;
        return source.size() > 60 ? source.left(57) + QStringLiteral("...") : source;
    }

private:
    void notice(const QString& line) {
        if (!m_notices.contains(line))
            m_notices << line;
    }

    Picture read(const QString& source) {
        Picture picture;
        const QString name = pictureNameOfSource(source);
        if (name.isEmpty()) {
            notice(QStringLiteral("文字中的图片 \"%1\" 不是图片文件夹中的图片, 没有读取, 印成了"
                                  "方框. 请用插入图片的办法把它放进试卷后再打印.")
                       .arg(label(source)));
            return picture;
        }
        QByteArray bytes;
        switch (readFolderPicture(m_folder, name, bytes)) {
        case FileRead::Read:
            break;
        case FileRead::NotAFile:
            if (m_folder.isEmpty())
                break;
            notice(
                QStringLiteral("图片文件夹 %1 中的 %2 不是普通的图片文件 (而是链接, 文件夹或"
                               "设备), 没有读取, 印成了方框. 请把图片本身放进图片文件夹后再打印.")
                    .arg(QDir::toNativeSeparators(m_folder), name));
            return picture;
        case FileRead::TooLarge:
            notice(QStringLiteral("图片 %1 大于 %2 MB, 没有读取, 印成了方框. 请把图片缩小后再打印.")
                       .arg(name)
                       .arg(kLargestPicture >> 20));
            return picture;
        case FileRead::Missing:
        case FileRead::Unreadable:
            break;
        }
        if (bytes.isEmpty()) {
            if (!m_missing.contains(name))
                m_missing << name;
            return picture;
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, QFileInfo(name).suffix().toLatin1());
        reader.setAutoTransform(true);
        const QSize size = reader.size();
        if (size.isValid() && std::max(size.width(), size.height()) > kMaxPicturePixels)
            reader.setScaledSize(
                size.scaled(kMaxPicturePixels, kMaxPicturePixels, Qt::KeepAspectRatio));
        picture.image = reader.read();
        if (!picture.image.isNull())
            picture.natural = size.isValid() ? QSizeF(size) : QSizeF(picture.image.size());
        else if (!m_missing.contains(name))
            m_missing << name;
        return picture;
    }

    QString m_folder;
    QHash<QString, Picture> m_pictures;
    QStringList m_missing;
    QStringList m_notices;
};

// The pictures of a text, drawn from the store only. It takes the place of
// the text layout's own, which reads any src it cannot get otherwise straight
// from the disk (a FIFO there would hold up the paper for good).
class PictureObject : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit PictureObject(PictureStore& pictures) : m_pictures(pictures) {}

    // The size the picture's format gives (as whole screen pixels, as the
    // layout's own did), in the units of the document's device.
    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override {
        const QTextImageFormat image = format.toImageFormat();
        const Picture& p = m_pictures.picture(image.name());
        if (p.image.isNull())
            return {};
        const bool width = image.hasProperty(QTextFormat::ImageWidth);
        const bool height = image.hasProperty(QTextFormat::ImageHeight);
        const QSizeF natural = p.natural.isEmpty() ? QSizeF(p.image.size()) : p.natural;
        QSizeF size(qRound(image.width()), qRound(image.height()));
        if (!width && !height)
            size = natural;
        else if (!height)
            size.setHeight(size.width() * natural.height() / natural.width());
        else if (!width)
            size.setWidth(size.height() * natural.width() / natural.height());
        const QPaintDevice* device = doc->documentLayout()->paintDevice();
        return device ? size * (qreal(device->logicalDpiY()) / 96) : size;
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override {
        const Picture& p = m_pictures.picture(format.toImageFormat().name());
        if (!p.image.isNull())
            painter->drawImage(rect, p.image);
    }

private:
    PictureStore& m_pictures;
};

// A picture that is not there: a box with its file name, as text, so that the
// teacher sees on paper which one to put back.
class MissingPicture : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument* doc, int, const QTextFormat& format) override {
        const QFontMetricsF metrics(format.toCharFormat().font(),
                                    doc->documentLayout()->paintDevice());
        const qreal pad = metrics.height() * 0.6;
        return {std::min(metrics.horizontalAdvance(label(format)) + 2 * pad, doc->textWidth()),
                metrics.height() * 3};
    }
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int,
                    const QTextFormat& format) override {
        painter->save();
        painter->setPen(QPen(Qt::black, rect.height() / 60, Qt::DashLine));
        painter->drawRect(rect.adjusted(1, 1, -1, -1));
        painter->setFont(format.toCharFormat().font());
        painter->drawText(rect, Qt::AlignCenter | Qt::TextWrapAnywhere, label(format));
        painter->restore();
    }

private:
    static QString label(const QTextFormat& format) {
        const QString name = format.stringProperty(kPictureNameProperty);
        return name.isEmpty() ? QStringLiteral("[缺少图片]")
                              : QStringLiteral("[缺少图片: %1]").arg(name);
    }
};

// One piece of the paper as a document of its own: the header, a section
// title, a question with its choices.
class PrintDocument : public QTextDocument {
public:
    PrintDocument(QPaintDevice* device, PictureStore& pictures, MissingPicture* missing,
                  PictureObject* shown, qreal width)
        : m_pictures(pictures) {
        setUndoRedoEnabled(false);
        documentLayout()->setPaintDevice(device);
        documentLayout()->registerHandler(kMissingPictureObject, missing);
        documentLayout()->registerHandler(QTextFormat::ImageObject, shown);
        setDocumentMargin(0);
        setDefaultFont(printFont(kBodyPoints));
        setTextWidth(width);
    }

protected:
    // Only pictures from the pictures folder (a style's background); nothing
    // else is ever fetched.
    QVariant loadResource(int type, const QUrl& name) override {
        if (type != QTextDocument::ImageResource)
            return {};
        const Picture& p = m_pictures.picture(name.toString());
        return p.image.isNull() ? QVariant() : QVariant(p.image);
    }

private:
    PictureStore& m_pictures;
};

// The width a picture at position may take: a share of width for each table
// of the inserted text (after start) it stands in, less a little for the
// cells' borders and spacing, so that the table stays within width.
qreal roomAt(QTextDocument& doc, int start, int position, qreal width) {
    QTextCursor at(&doc);
    at.setPosition(position);
    for (QTextFrame* frame = at.currentFrame(); frame; frame = frame->parentFrame())
        if (const auto* table = qobject_cast<QTextTable*>(frame);
            table && table->firstPosition() > start)
            width = width / table->columns() * 0.9;
    return width;
}

// Gives the pictures inserted between start and end a size that fits within
// maxWidth and maxHeight (layout units), and puts a box with the file name in
// place of each one that cannot be read. Sizes in pixels in the texts' styles
// are screen pixels: they are made points so that they print as on screen.
void fitInserted(QTextDocument& doc, PictureStore& pictures, int start, int end, qreal maxWidth,
                 qreal maxHeight) {
    enum class Kind { Format, Replace, BreakBefore };
    struct Change {
        int position;
        int length;
        QTextCharFormat format;
        Kind kind;
    };
    // Gathered first and made from the end, so that no change moves another.
    std::vector<Change> changes;
    for (QTextBlock block = doc.findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            if (format.hasProperty(QTextFormat::FontPixelSize)) {
                format.setFontPointSize(format.intProperty(QTextFormat::FontPixelSize) * 0.75);
                format.clearProperty(QTextFormat::FontPixelSize);
                changes.push_back({fragment.position(), fragment.length(), format, Kind::Format});
            }
            if (!format.isImageFormat())
                continue;
            QTextImageFormat image = format.toImageFormat();
            const Picture& p = pictures.picture(image.name());
            for (int i = 0; i < fragment.length(); ++i) {
                const int position = fragment.position() + i;
                if (p.image.isNull()) {
                    QTextCharFormat box;
                    box.setObjectType(kMissingPictureObject);
                    box.setProperty(kPictureNameProperty, PictureStore::label(image.name()));
                    box.setFont(doc.defaultFont());
                    changes.push_back({position, 1, box, Kind::Replace});
                    continue;
                }
                QSizeF size = p.natural;
                const qreal w = image.width(), h = image.height();
                if (w > 0 && h > 0)
                    size = {w, h};
                else if (w > 0)
                    size = {w, w * size.height() / std::max<qreal>(size.width(), 1)};
                else if (h > 0)
                    size = {h * size.width() / std::max<qreal>(size.height(), 1), h};
                // Screen pixels to layout units, then made to fit.
                size *= kCssScale;
                const qreal room = roomAt(doc, start, position, maxWidth);
                if (size.width() > room || size.height() > maxHeight)
                    size.scale(room, maxHeight, Qt::KeepAspectRatio);
                image.setWidth(size.width() / kCssScale);
                image.setHeight(size.height() / kCssScale);
                changes.push_back({position, 1, image, Kind::Format});
                // A wide picture starts a line of its own: the line it would not
                // fit on would otherwise keep its height, leaving a gap above the text.
                if (size.width() > room / 2 && position > block.position() &&
                    doc.characterAt(position - 1) != QChar::LineSeparator)
                    changes.push_back({position, 0, {}, Kind::BreakBefore});
            }
        }
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.position > b.position; });
    for (const Change& change : changes) {
        QTextCursor cursor(&doc);
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        switch (change.kind) {
        case Kind::Format:
            cursor.setCharFormat(change.format);
            break;
        case Kind::Replace:
            cursor.insertText(QString(QChar::ObjectReplacementCharacter), change.format);
            break;
        case Kind::BreakBefore:
            cursor.insertText(QString(QChar::LineSeparator));
            break;
        }
    }
}

// Breaks a document taller than a page between its lines: the places where
// no line is cut, as the spans that must not be cut.
std::vector<std::pair<qreal, qreal>> lineSpans(const QTextDocument& doc) {
    std::vector<std::pair<qreal, qreal>> spans;
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* lines = block.layout();
        if (!lines)
            continue;
        const qreal top = layout->blockBoundingRect(block).top();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            spans.emplace_back(top + line.y(), top + line.y() + line.height());
        }
    }
    std::sort(spans.begin(), spans.end());
    // Spans that overlap (lines side by side in table cells) are one.
    std::vector<std::pair<qreal, qreal>> merged;
    for (const auto& span : spans) {
        if (!merged.empty() && span.first < merged.back().second)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    return merged;
}

// Makes the line that starts at y begin a paragraph of its own, without
// moving anything. The text layout paints the line before the first one a
// page shows too (clipped away); within one paragraph that line would be in
// the PDF's text on both pages, found twice by a search or a copy.
bool splitParagraphAt(QTextDocument& doc, qreal y) {
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* lines = block.layout();
        if (!lines || lines->lineCount() < 2)
            continue;
        const qreal top = layout->blockBoundingRect(block).top();
        for (int i = 1; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            if (std::abs(top + line.y() - y) > 0.5)
                continue;
            QTextCursor cursor(block);
            QTextBlockFormat first = block.blockFormat();
            QTextBlockFormat rest = first;
            first.setBottomMargin(0);
            rest.setTopMargin(0);
            rest.setTextIndent(0);
            cursor.setBlockFormat(first);
            cursor.setPosition(block.position() + line.textStart());
            cursor.insertBlock(rest);
            // The rest of a list item is no item of its own: no marker, no
            // number; taken out of the list, it keeps the list's indent.
            if (QTextList* list = block.textList())
                list->remove(cursor.block());
            return true;
        }
    }
    return false;
}

// The lowest place at or above limit (and below from) where no line is cut;
// from itself when the first line is taller than what is left.
qreal cutAt(const std::vector<std::pair<qreal, qreal>>& spans, qreal from, qreal limit) {
    for (const auto& [top, bottom] : spans)
        if (top < limit && limit < bottom)
            return top > from ? top : from;
    return limit;
}

} // namespace

QPageLayout defaultPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                       QPageLayout::Millimeter);
}

QString answerKeyPath(const QString& pdfPath) {
    const QFileInfo info(pdfPath);
    QString base = info.fileName();
    if (base.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        base.chop(4);
    return QDir(info.path()).filePath(base + QStringLiteral("-答案.pdf"));
}

struct PaperLayout::Data {
    PrintedPaper paper;
    PrintOptions options;
    QPageLayout pageLayout = defaultPageLayout();
    QImage device{1, 1, QImage::Format_ARGB32};
    PictureStore pictures;
    MissingPicture missing;
    PictureObject shown{pictures};

    struct Block {
        std::unique_ptr<QTextDocument> doc;
        qreal height = 0;
        qreal spaceAfter = 0;
        bool keepWithNext = false;
        int question = -1;
        std::vector<std::pair<qreal, qreal>> spans; // for a block taller than a page
    };
    struct Slice {
        int block = 0;
        qreal top = 0, bottom = 0; // the part of the block's document
        qreal y = 0;               // where it goes in the page's text area
    };
    std::vector<Block> blocks;
    QVector<QVector<Slice>> pages;
    QVector<int> questionPages;

    QRectF body; // the text area, in layout units on the page

    Data(const PrintedPaper& p, const PrintOptions& o)
        : paper(p), options(o), pictures(o.picturesFolder) {
        const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
        device.setDotsPerMeterX(dotsPerMeter);
        device.setDotsPerMeterY(dotsPerMeter);
    }

    std::unique_ptr<PrintDocument> newDocument() {
        return std::make_unique<PrintDocument>(&device, pictures, &missing, &shown, body.width());
    }
    // What the texts made of the paper other than the teacher expects, a
    // sentence for each, in the paper's order.
    QStringList warnings;
    // Set by insertHtml for the question being built.
    bool flattened = false, unprintable = false;

    // A text nested deeper than any paper is flattened first; one whose
    // layout would still take too long is a box saying so, so that no text
    // holds up the paper (its layout cannot be interrupted once begun).
    void insertHtml(QTextCursor& cursor, const QString& html, qreal width) {
        const BoundedHtml bounded = boundHtml(html);
        flattened = flattened || bounded.flattened;
        if (!bounded.withinBudget()) {
            unprintable = true;
            insertUnprintable(cursor);
            return;
        }
        const int start = cursor.position();
        cursor.insertHtml(bounded.html);
        fitInserted(*cursor.document(), pictures, start, cursor.position(), width,
                    body.height() * 0.8);
    }
    void insertUnprintable(QTextCursor& cursor);
    void addBlock(std::unique_ptr<QTextDocument> doc, qreal spaceAfter, bool keepWithNext,
                  int question = -1) {
        Block block;
        block.height = doc->size().height();
        block.doc = std::move(doc);
        block.spaceAfter = spaceAfter;
        block.keepWithNext = keepWithNext;
        block.question = question;
        blocks.push_back(std::move(block));
    }

    void insertTitle(QTextCursor& cursor, const QString& html, qreal points);
    void buildHeader();
    void buildSection(const PrintedSection& section);
    void buildQuestion(const PrintedQuestion& question, const PrintedSection& section, int index);
    void addChoices(QTextCursor& cursor, const PageQuestion& question, qreal width);
    void paginate();
};

namespace {

// Block margins and cell padding are given in screen pixels, like the texts'.
QTextBlockFormat centred(qreal spaceAfter = 0) {
    QTextBlockFormat format;
    format.setAlignment(Qt::AlignHCenter);
    format.setBottomMargin(spaceAfter / kCssScale);
    return format;
}

QTextCharFormat textFormat(qreal points, bool bold = false) {
    QTextCharFormat format;
    format.setFont(printFont(points, bold));
    return format;
}

// Lines up the first line of each row's first cell (a number, a label) with
// the first line of the text beside it, however tall a picture makes that
// line: the text layout only aligns cells by their tops.
void alignFirstLines(QTextTable* table) {
    const QAbstractTextDocumentLayout* layout = table->document()->documentLayout();
    const auto baseline = [layout](const QTextTableCell& cell) -> std::optional<qreal> {
        const QTextBlock block = cell.firstCursorPosition().block();
        if (!block.layout() || block.layout()->lineCount() == 0)
            return std::nullopt;
        const QTextLine line = block.layout()->lineAt(0);
        return layout->blockBoundingRect(block).top() + line.y() + line.ascent();
    };
    for (int r = 0; r < table->rows(); ++r) {
        QTextTableCell label = table->cellAt(r, 0);
        const std::optional<qreal> from = baseline(label);
        const std::optional<qreal> to = baseline(table->cellAt(r, 1));
        if (!from || !to || *to - *from < 1)
            continue;
        QTextTableCellFormat format = label.format().toTableCellFormat();
        format.setTopPadding(format.topPadding() + (*to - *from) / kCssScale);
        label.setFormat(format);
    }
}

QString markText(int mark) {
    return QStringLiteral("（%1分）").arg(mark);
}

// The brackets a true/false answer is written in, two characters wide inside,
// or the key's answer in them. The spaces are no-break ones: the text layout
// may end a line at any other space, parting the brackets.
QString answerSpace(const QFontMetricsF& metrics, const QString& answer) {
    const QChar space(0x00A0);
    if (!answer.isEmpty())
        return QStringLiteral("（") + space + answer + space + QStringLiteral("）");
    const qreal room = metrics.horizontalAdvance(QStringLiteral("　　"));
    const int spaces = std::max(2, int(std::ceil(room / metrics.horizontalAdvance(space))));
    return QStringLiteral("（") + QString(spaces, space) + QStringLiteral("）");
}

// A table without borders whose columns take the given shares of the width.
QTextTableFormat plainTable(const QList<QTextLength>& columns) {
    QTextTableFormat format;
    format.setBorder(0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    format.setCellPadding(0);
    format.setCellSpacing(0);
    format.setMargin(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    format.setColumnWidthConstraints(columns);
    return format;
}

// A box across the width, for what the teacher must not miss.
QTextTableFormat boxTable() {
    QTextTableFormat box = plainTable({QTextLength(QTextLength::PercentageLength, 100)});
    box.setBorder(1);
    box.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    box.setBorderBrush(Qt::black);
    box.setCellPadding(6);
    return box;
}

} // namespace

void PaperLayout::Data::insertUnprintable(QTextCursor& cursor) {
    cursor.insertBlock();
    QTextTable* table = cursor.insertTable(1, 1, boxTable());
    table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("[无法排版的题目]"),
                                                         textFormat(kBodyPoints));
    cursor = table->lastCursorPosition();
    cursor.movePosition(QTextCursor::NextBlock);
}

// The paper's name as its page shows it: its markup is HTML like the other
// texts. What the markup leaves unsaid takes the title's size and weight, and
// every paragraph of it is centred.
void PaperLayout::Data::insertTitle(QTextCursor& cursor, const QString& html, qreal points) {
    const int start = cursor.position();
    insertHtml(cursor, html, body.width());
    const int end = cursor.position();
    QTextDocument& doc = *cursor.document();
    std::vector<std::pair<QTextFragment, QTextCharFormat>> changes;
    for (QTextBlock block = doc.findBlock(start); block.isValid() && block.position() < end;
         block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat own = fragment.charFormat();
            QTextCharFormat title;
            if (!own.hasProperty(QTextFormat::FontPointSize) &&
                !own.hasProperty(QTextFormat::FontPixelSize) &&
                !own.hasProperty(QTextFormat::FontSizeAdjustment))
                title.setFontPointSize(points);
            if (!own.hasProperty(QTextFormat::FontWeight))
                title.setFontWeight(QFont::Bold);
            changes.emplace_back(fragment, title);
        }
    for (const auto& [fragment, title] : changes) {
        QTextCursor range(&doc);
        range.setPosition(fragment.position());
        range.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        range.mergeCharFormat(title);
    }
    QTextCursor all(&doc);
    all.setPosition(start);
    all.setPosition(end, QTextCursor::KeepAnchor);
    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    all.mergeBlockFormat(centre);
}

QString plainPaperName(const QString& name) {
    QString text = QTextDocumentFragment::fromHtml(name).toPlainText();
    text.remove(QChar::ObjectReplacementCharacter);
    return text.simplified();
}

void PaperLayout::Data::buildHeader() {
    auto doc = newDocument();
    QTextCursor cursor(doc.get());
    const qreal line = QFontMetricsF(printFont(kBodyPoints), &device).height();
    cursor.setBlockFormat(centred(line * 0.4));
    insertTitle(cursor, paper.name, 16);
    const QString full = paper.fullMark ? QString::number(*paper.fullMark) : paper.fullMarkText;
    if (options.answerKey) {
        cursor.insertBlock(centred(line * 0.4));
        cursor.insertText(QStringLiteral("参考答案"), textFormat(14, true));
        cursor.insertBlock(centred(line * 0.6));
        cursor.insertText(QStringLiteral("满分 %1 分，共 %2 题，各题分值之和 %3 分")
                              .arg(full.isEmpty() ? QStringLiteral("____") : full)
                              .arg(paper.questionCount())
                              .arg(paper.markSum()),
                          textFormat(kBodyPoints));
        // The check's findings, where the teacher sees them before handing out.
        QTextTable* table = cursor.insertTable(1, 1, boxTable());
        QTextCursor cell = table->cellAt(0, 0).firstCursorPosition();
        cell.insertText(QStringLiteral("试卷检查"), textFormat(kBodyPoints, true));
        if (paper.findings.isEmpty()) {
            cell.insertBlock();
            cell.insertText(QStringLiteral("没有发现问题."), textFormat(kBodyPoints));
        }
        for (const QString& warning : std::as_const(paper.findings)) {
            cell.insertBlock();
            cell.insertText(warning, textFormat(kBodyPoints));
        }
    } else {
        if (!full.isEmpty()) {
            cursor.insertBlock(centred(line * 0.6));
            cursor.insertText(QStringLiteral("（满分 %1 分）").arg(full), textFormat(kBodyPoints));
        }
        QTextBlockFormat info = centred(line * 0.3);
        // A rule under the lines the student fills in.
        info.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                         QTextLength(QTextLength::PercentageLength, 100));
        cursor.insertBlock(info);
        const QString blank = QStringLiteral("__________");
        cursor.insertText(QStringLiteral("班级 %1   姓名 %1   学号 %1   得分 %1").arg(blank),
                          textFormat(kBodyPoints));
    }
    addBlock(std::move(doc), line, false);
}

void PaperLayout::Data::buildSection(const PrintedSection& section) {
    auto doc = newDocument();
    QTextCursor cursor(doc.get());
    cursor.insertText(QStringLiteral("%1（共 %2 题，共 %3 分）")
                          .arg(section.title)
                          .arg(section.questions.size())
                          .arg(section.marks),
                      textFormat(12, true));
    const qreal line = QFontMetricsF(printFont(kBodyPoints), &device).height();
    addBlock(std::move(doc), line * 0.4, true);
}

void PaperLayout::Data::buildQuestion(const PrintedQuestion& question,
                                      const PrintedSection& section, int index) {
    const PageQuestion& q = question.content;
    flattened = unprintable = false;
    auto doc = newDocument();
    QTextCursor cursor(doc.get());
    const QFontMetricsF metrics(printFont(kBodyPoints), &device);
    // The number hangs to the left of the text, however many lines it takes,
    // in a column as wide as the section's longest number.
    const qreal numberWidth =
        metrics.horizontalAdvance(
            QString(QString::number(section.questions.size()).size(), QLatin1Char('0')) +
            QStringLiteral("．")) +
        metrics.height() * 0.3;
    QTextTable* table = cursor.insertTable(
        1, 2,
        plainTable({QTextLength(QTextLength::FixedLength, numberWidth / kCssScale),
                    QTextLength(QTextLength::VariableLength, 0)}));
    QTextCursor number = table->cellAt(0, 0).firstCursorPosition();
    number.insertText(QString::number(question.number) + QStringLiteral("．"),
                      textFormat(kBodyPoints));
    QTextCursor text = table->cellAt(0, 1).firstCursorPosition();
    const qreal width = body.width() - numberWidth;
    text.insertText(markText(q.mark), textFormat(kBodyPoints));
    insertHtml(text, q.html, width);
    if (q.kind == QuestionKind::TrueFalse) {
        const QString answer = !options.answerKey ? QString()
                               : q.answer         ? QStringLiteral("√")
                                                  : QStringLiteral("×");
        text.insertText(answerSpace(metrics, answer), textFormat(kBodyPoints, options.answerKey));
    } else {
        addChoices(text, q, width);
        if (options.answerKey) {
            QStringList right;
            for (int i = 0; i < q.choices.size(); ++i)
                if (q.choices.at(i).correct)
                    right << (options.choiceNumbers ? q.choices.at(i).number : choiceLetter(i));
            text.insertBlock();
            text.insertText(
                QStringLiteral("答案：") +
                    (right.isEmpty()
                         ? QStringLiteral("（没有正确的选项）")
                         : right.join(options.choiceNumbers ? QStringLiteral(", ") : QString())),
                textFormat(kBodyPoints, true));
        }
    }
    alignFirstLines(table);
    addBlock(std::move(doc), metrics.height() * 0.5, false, index);
    if (unprintable)
        warnings << QStringLiteral("%1 第 %2 题的文字嵌套过深或过长, 无法排版, 印成了 "
                                   "\"[无法排版的题目]\". 请在试卷中简化这道题的文字后重新打印.")
                        .arg(section.title)
                        .arg(question.number);
    else if (flattened)
        warnings << QStringLiteral("%1 第 %2 题的文字嵌套过深, 最深处的表格和格式没有印出, "
                                   "只印出了其中的文字.")
                        .arg(section.title)
                        .arg(question.number);
}

void PaperLayout::Data::addChoices(QTextCursor& cursor, const PageQuestion& question, qreal width) {
    if (question.choices.isEmpty())
        return;
    const QFontMetricsF metrics(printFont(kBodyPoints), &device);
    QStringList labels;
    qreal widest = 0, labelWidth = 0;
    bool plain = true;
    for (int i = 0; i < question.choices.size(); ++i) {
        const PageChoice& choice = question.choices.at(i);
        labels << (options.choiceNumbers ? choice.number : choiceLetter(i)) + QStringLiteral("．");
        labelWidth =
            std::max(labelWidth, metrics.horizontalAdvance(labels.last()) + metrics.height() * 0.3);
        const QString text =
            QTextDocumentFragment::fromHtml(boundHtml(choice.html).html).toPlainText();
        plain = plain && !text.contains(QLatin1Char('\n')) &&
                !text.contains(QChar::ObjectReplacementCharacter) &&
                !choice.html.contains(QLatin1String("<table"), Qt::CaseInsensitive);
        widest = std::max(widest, metrics.horizontalAdvance(labels.last() + text));
    }
    // Short choices side by side, four or two to a line, as papers print them.
    int columns = 1;
    if (plain && widest * 1.15 + metrics.height() < width / 4)
        columns = 4;
    else if (plain && widest * 1.15 + metrics.height() < width / 2)
        columns = 2;
    columns = std::min<int>(columns, int(question.choices.size()));

    const int rows = int((question.choices.size() + columns - 1) / columns);
    QTextTable* table = nullptr;
    if (columns == 1) {
        cursor.insertBlock();
        table = cursor.insertTable(
            rows, 2,
            plainTable({QTextLength(QTextLength::FixedLength, labelWidth / kCssScale),
                        QTextLength(QTextLength::VariableLength, 0)}));
    } else {
        cursor.insertBlock();
        QList<QTextLength> shares;
        for (int c = 0; c < columns; ++c)
            shares << QTextLength(QTextLength::PercentageLength, 100.0 / columns);
        table = cursor.insertTable(rows, columns, plainTable(shares));
    }
    for (int i = 0; i < question.choices.size(); ++i) {
        const int row = columns == 1 ? i : i / columns;
        QTextCursor cell = table->cellAt(row, columns == 1 ? 0 : i % columns).firstCursorPosition();
        cell.insertText(labels.at(i), textFormat(kBodyPoints));
        if (columns == 1)
            cell = table->cellAt(row, 1).firstCursorPosition();
        insertHtml(cell, question.choices.at(i).html,
                   columns == 1 ? width - labelWidth : width / columns);
    }
    // Once the choices are in: their first lines are what the labels follow.
    if (columns == 1)
        alignFirstLines(table);
    cursor = table->lastCursorPosition();
    cursor.movePosition(QTextCursor::NextBlock);
}

void PaperLayout::Data::paginate() {
    pages = {{}};
    questionPages.clear();
    const qreal height = body.height();
    qreal y = 0;
    const auto newPage = [&] {
        pages.append(QVector<Slice>());
        y = 0;
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        Block& block = blocks[i];
        // A section title stays with its first question, or with as much of
        // one longer than a page as a page's last quarter would hold.
        qreal needed = block.height;
        if (block.keepWithNext && i + 1 < blocks.size()) {
            const qreal next = blocks[i + 1].height;
            needed += block.spaceAfter + (next <= height ? next : height / 4);
        }
        if (y > 0 && y + needed > height && needed <= height)
            newPage();
        if (block.height > height - y && y > height * 0.75)
            newPage(); // what is left is too little to start a long text in
        if (block.height <= height - y) {
            if (block.question >= 0)
                questionPages.append(int(pages.size()) - 1);
            pages.last().append({int(i), 0, block.height, y});
            y += block.height + block.spaceAfter;
            continue;
        }
        // Taller than the page: cut between its lines, page after page.
        if (block.spans.empty())
            block.spans = lineSpans(*block.doc);
        qreal top = 0;
        while (top < block.height) {
            if (y >= height)
                newPage();
            const qreal limit = std::min(block.height, top + (height - y));
            qreal bottom = limit >= block.height ? limit : cutAt(block.spans, top, limit);
            if (bottom <= top) {
                // A line (a picture) taller than what is left: on the next
                // page it is whole, unless it is taller than a page.
                if (y > 0) {
                    newPage();
                    continue;
                }
                bottom = limit;
            }
            if (bottom < block.height && splitParagraphAt(*block.doc, bottom)) {
                block.spans = lineSpans(*block.doc);
                block.height = block.doc->size().height();
            }
            if (top == 0 && block.question >= 0)
                questionPages.append(int(pages.size()) - 1);
            pages.last().append({int(i), top, bottom, y});
            y += bottom - top;
            top = bottom;
            if (top < block.height)
                newPage();
        }
        y += block.spaceAfter;
    }
}

PaperLayout::PaperLayout(const PrintedPaper& paper, const PrintOptions& options)
    : d(std::make_unique<Data>(paper, options)) {}

PaperLayout::~PaperLayout() = default;

bool PaperLayout::layOut(const QPageLayout& pageLayout, const Progress& progress) {
    d->blocks.clear();
    d->pages.clear();
    d->questionPages.clear();
    d->warnings.clear();
    d->pageLayout = pageLayout;
    d->body = pageLayout.paintRectPixels(kLayoutDpi).toRectF();
    const int total = d->paper.questionCount();
    int done = 0;
    if (progress && !progress(0, total))
        return false;
    d->buildHeader();
    for (const PrintedSection& section : std::as_const(d->paper.sections)) {
        d->buildSection(section);
        for (const PrintedQuestion& question : section.questions) {
            d->buildQuestion(question, section, done++);
            if (progress && !progress(done, total)) {
                d->blocks.clear();
                return false;
            }
        }
    }
    d->paginate();
    return true;
}

const QPageLayout& PaperLayout::pageLayout() const {
    return d->pageLayout;
}

int PaperLayout::pageCount() const {
    return int(d->pages.size());
}

QVector<int> PaperLayout::questionPages() const {
    return d->questionPages;
}

QStringList PaperLayout::missingPictures() const {
    return d->pictures.missing();
}

QStringList PaperLayout::warnings() const {
    return d->warnings + d->pictures.notices();
}

void PaperLayout::paintPage(QPainter& painter, int page) const {
    if (page < 0 || page >= d->pages.size())
        return;
    QPaintDevice* device = painter.device();
    painter.save();
    // Page coordinates: a device that keeps margins has its origin inside them.
    if (auto* paged = dynamic_cast<QPagedPaintDevice*>(device);
        paged && paged->pageLayout().mode() == QPageLayout::StandardMode)
        painter.translate(-paged->pageLayout().paintRectPixels(device->logicalDpiX()).topLeft());
    painter.scale(qreal(device->logicalDpiX()) / kLayoutDpi,
                  qreal(device->logicalDpiY()) / kLayoutDpi);
    for (const Data::Slice& slice : d->pages.at(page)) {
        const Data::Block& block = d->blocks.at(slice.block);
        painter.save();
        painter.translate(d->body.left(), d->body.top() + slice.y - slice.top);
        // A line that only touches a cut counts as inside for the text
        // layout: it would be painted, clipped away, on both pages, and
        // found twice by whoever searches or copies the PDF's text.
        const qreal inset = 0.5;
        const qreal top = slice.top > 0 ? slice.top + inset : slice.top;
        const qreal bottom = slice.bottom < block.height ? slice.bottom - inset : slice.bottom;
        block.doc->drawContents(&painter, QRectF(0, top, d->body.width(), bottom - top));
        painter.restore();
    }
    // The page number, in the bottom margin.
    QTextDocument footer;
    footer.documentLayout()->setPaintDevice(&d->device);
    footer.setDocumentMargin(0);
    footer.setTextWidth(d->body.width());
    QTextCursor cursor(&footer);
    cursor.setBlockFormat(centred());
    cursor.insertText(QStringLiteral("第 %1 页 共 %2 页").arg(page + 1).arg(d->pages.size()),
                      textFormat(9));
    const QRectF full = d->pageLayout.fullRectPixels(kLayoutDpi);
    const qreal bottomMargin = full.bottom() - d->body.bottom();
    painter.translate(d->body.left(),
                      d->body.bottom() + (bottomMargin - footer.size().height()) / 2);
    footer.drawContents(&painter);
    painter.restore();
}

bool PaperLayout::paint(QPagedPaintDevice& device, const Progress& progress) const {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const int total = pageCount();
    for (int page = 0; page < total; ++page) {
        if (progress && !progress(page, total)) {
            painter.end();
            return false;
        }
        if (page > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        paintPage(painter, page);
    }
    if (progress)
        progress(total, total);
    return painter.end();
}

PdfResult writePaperPdfs(const PrintedPaper& paper, const QVector<PdfFile>& files,
                         const Progress& progress) {
    PdfResult result;
    // Each file is laid out, then painted; laying out is most of the work.
    const int questions = std::max(paper.questionCount(), 1);
    const int total = 2 * questions * int(std::max<qsizetype>(files.size(), 1));
    const auto share = [&](int from) -> Progress {
        if (!progress)
            return {};
        return [&progress, &result, from, questions, total](int done, int of) {
            result.cancelled =
                !progress(from + (of > 0 ? done * questions / of : questions), total);
            return !result.cancelled;
        };
    };
    const QString notWritten = QStringLiteral("已取消, 没有写入文件.");
    QVector<FileContents> contents;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const PdfFile& file = files.at(i);
        const int from = 2 * questions * int(i);
        PaperLayout layout(paper, file.options);
        const bool laidOut = layout.layOut(defaultPageLayout(), share(from));
        for (const QString& name : layout.missingPictures())
            if (!result.missingPictures.contains(name))
                result.missingPictures << name;
        for (const QString& warning : layout.warnings())
            if (!result.warnings.contains(warning))
                result.warnings << warning;
        if (!laidOut) {
            result.error = notWritten;
            return result;
        }
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            writer.setResolution(kLayoutDpi);
            const QString title = plainPaperName(paper.name);
            writer.setTitle(file.options.answerKey ? title + QStringLiteral(" 参考答案") : title);
            writer.setCreator(QStringLiteral("Tessaloom"));
            QPageLayout full = layout.pageLayout();
            full.setMode(QPageLayout::FullPageMode);
            writer.setPageLayout(full);
            if (!layout.paint(writer, share(from + questions))) {
                result.error =
                    result.cancelled ? notWritten : QStringLiteral("无法生成 PDF, 没有写入文件.");
                return result;
            }
        }
        contents.append({file.path, buffer.data()});
        result.pages.append(layout.pageCount());
    }
    QString failedPath;
    const QString failure = replaceFilesContents(contents, &failedPath);
    if (!failure.isEmpty()) {
        result.pages.clear();
        result.error =
            QStringLiteral("无法写入 %1: %2").arg(QDir::toNativeSeparators(failedPath), failure);
    }
    return result;
}

PdfResult writePaperPdf(const PrintedPaper& paper, const PrintOptions& options, const QString& path,
                        const Progress& progress) {
    return writePaperPdfs(paper, {{path, options}}, progress);
}

} // namespace tess::print

#include "paperlayout.moc"
