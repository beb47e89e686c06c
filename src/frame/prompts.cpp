#include "frame/prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QtGlobal>

namespace tess {

namespace {

// "label|pattern|label|pattern" into Qt's "label (pattern);;label (pattern)".
QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& label = parts.at(i);
        const QString& pattern = parts.at(i + 1);
        out << (label.contains(QLatin1Char('('))
                    ? label
                    : label + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    if (out.isEmpty() && !filter.isEmpty())
        out << filter;
    return out.join(QStringLiteral(";;"));
}

} // namespace

QString fileDialogKey(FileDialogKind kind) {
    switch (kind) {
    case FileDialogKind::Picture:
        return QStringLiteral("Picture");
    case FileDialogKind::Import:
        return QStringLiteral("Import");
    case FileDialogKind::Export:
        return QStringLiteral("Export");
    case FileDialogKind::Pdf:
        return QStringLiteral("Pdf");
    case FileDialogKind::Page:
        return QStringLiteral("Page");
    }
    return QString();
}

Prompts& Prompts::instance() {
    static Prompts prompts;
    return prompts;
}

void Prompts::clear() {
    m_yesNo.clear();
    m_files.clear();
    m_shown.clear();
}

void Prompts::information(QWidget* parent, const QString& text) {
    m_shown << text;
    if (m_scripted)
        return; // nothing to answer: the text is recorded
    QMessageBox box(QMessageBox::NoIcon, appTitle(), text, QMessageBox::NoButton, parent);
    box.setDefaultButton(box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
    box.exec();
}

bool Prompts::askYesNo(QWidget* parent, const QString& text, bool noByDefault) {
    m_shown << text;
    if (!m_yesNo.empty()) {
        const bool yes = m_yesNo.front();
        m_yesNo.pop_front();
        return yes;
    }
    if (m_scripted)
        qFatal("Unexpected question box (no answer queued): %s", qUtf8Printable(text));
    QMessageBox box(QMessageBox::NoIcon, appTitle(), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    // Names and paths in the question are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    if (noByDefault)
        box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> Prompts::queuedFile(const char* dialog) {
    if (!m_files.empty()) {
        const QString path = m_files.front();
        m_files.pop_front();
        return path;
    }
    if (m_scripted)
        qFatal("Unexpected %s (no answer queued)", dialog);
    return std::nullopt;
}

QString Prompts::saveFile(QWidget* parent, const QString& startDir, const QString& filter) {
    if (const std::optional<QString> path = queuedFile("save-file dialog"))
        return *path;
    // Choosing where a page will go writes nothing yet, so asking about overwriting would mislead.
    return QFileDialog::getSaveFileName(parent, QString(), startDir, qtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString Prompts::openFile(QWidget* parent, const QString& title, const QString& filter) {
    return openFileIn(parent, title, QString(), filter);
}

QString Prompts::openFileIn(QWidget* parent, const QString& title, const QString& startDir,
                            const QString& filter) {
    if (const std::optional<QString> path = queuedFile("open-file dialog"))
        return *path;
    return QFileDialog::getOpenFileName(parent, title, startDir, qtFilter(filter));
}

QString Prompts::lastFolder(FileDialogKind kind) const {
    const auto found = m_lastFolders.find(kind);
    return found == m_lastFolders.end() ? QString() : found->second;
}

void Prompts::setLastFolder(FileDialogKind kind, const QString& folder) {
    m_lastFolders[kind] = folder;
}

QString Prompts::startIn(FileDialogKind kind, const QString& startDir) const {
    // A folder since removed, or a removable disk not there today, is passed over.
    const QString last = lastFolder(kind);
    if (last.isEmpty() || !QFileInfo(last).isDir())
        return startDir;
    const QFileInfo given(startDir);
    return startDir.isEmpty() || given.isDir() ? last : QDir(last).filePath(given.fileName());
}

void Prompts::remember(FileDialogKind kind, const QString& chosen) {
    if (!chosen.isEmpty())
        setLastFolder(kind, QFileInfo(chosen).absolutePath());
}

QString Prompts::saveFile(QWidget* parent, FileDialogKind kind, const QString& startDir,
                          const QString& filter) {
    const QString chosen = saveFile(parent, startIn(kind, startDir), filter);
    remember(kind, chosen);
    return chosen;
}

QString Prompts::openFile(QWidget* parent, FileDialogKind kind, const QString& title,
                          const QString& filter, const QString& startDir) {
    const QString chosen = openFileIn(parent, title, startIn(kind, startDir), filter);
    remember(kind, chosen);
    return chosen;
}

QString Prompts::openPicture(QWidget* parent, const QString& title, const QStringList& fileTypes,
                             const QString& startDir) {
    if (const std::optional<QString> path = queuedFile("picture dialog")) {
        remember(FileDialogKind::Picture, *path);
        return *path;
    }

    QFileDialog dialog(parent, title, startIn(FileDialogKind::Picture, startDir));
    dialog.setOption(QFileDialog::DontUseNativeDialog); // the preview needs our own layout
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("打开"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    // The entries show their patterns joined by ";", which Qt's own filter
    // parsing would read as one pattern: the listing gets the real ones.
    QStringList shown;
    QHash<QString, QStringList> patterns;
    for (const QString& type : fileTypes) {
        const QString label = type.section(QLatin1Char('|'), 0, 0);
        shown << label;
        patterns.insert(label, type.section(QLatin1Char('|'), 1).split(QLatin1Char(';')));
    }
    dialog.setNameFilters(shown);
    auto* listing = dialog.findChild<QFileSystemModel*>();
    const auto applyPatterns = [listing, &patterns](const QString& label) {
        if (listing)
            listing->setNameFilters(patterns.value(label));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyPatterns);
    if (!shown.isEmpty()) {
        const QString type = shown.contains(m_pictureType) ? m_pictureType : shown.constFirst();
        dialog.selectNameFilter(type);
        applyPatterns(type);
    }
    auto* preview = new QLabel(&dialog);
    preview->setFixedSize(180, 180);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(
        &dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
            QImageReader reader(path);
            reader.setAutoTransform(true);
            const QImage image = QFileInfo(path).isFile() ? reader.read() : QImage();
            if (image.isNull()) {
                preview->clear();
                return;
            }
            preview->setPixmap(QPixmap::fromImage(
                image.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog.selectedFiles().constFirst();
    remember(FileDialogKind::Picture, chosen);
    m_pictureType = dialog.selectedNameFilter();
    return chosen;
}

} // namespace tess
