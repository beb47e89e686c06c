#include "settings/windowmemory.h"

#include <QDir>
#include <algorithm>

namespace tess {

namespace {

const QString WindowSection = QStringLiteral("Window");
const QString FoldersSection = QStringLiteral("Folders");
const QString KeyGeometry = QStringLiteral("Geometry");
const QString KeyMaximized = QStringLiteral("Maximized");
const QString KeyPictureType = QStringLiteral("PictureType");

QString joined(const QList<int>& numbers) {
    QStringList parts;
    for (int n : numbers)
        parts << QString::number(n);
    return parts.join(QLatin1Char(','));
}

qint64 overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

} // namespace

WindowMemory WindowMemory::load(const QString& iniPath) {
    WindowMemory memory;
    memory.m_file.load(iniPath);
    return memory;
}

void WindowMemory::store(IniFile& ini) const {
    for (const Setting& s : m_set)
        ini.setValue(s.section, s.key, s.value);
}

std::optional<QString> WindowMemory::value(const QString& section, const QString& key) const {
    for (const Setting& s : m_set)
        if (s.section == section && s.key == key)
            return s.value;
    return m_file.value(section, key);
}

void WindowMemory::setValue(const QString& section, const QString& key, const QString& value) {
    for (Setting& s : m_set)
        if (s.section == section && s.key == key) {
            s.value = value;
            return;
        }
    m_set.push_back({section, key, value});
}

std::optional<QList<int>> WindowMemory::numbers(const QString& key) const {
    const std::optional<QString> text = value(WindowSection, key);
    if (!text)
        return std::nullopt;
    // A value is at most 2047 bytes, so this list stays short.
    const QStringList parts = text->split(QLatin1Char(','));
    QList<int> out;
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < -MaxExtent || n > MaxExtent)
            return std::nullopt;
        out << n;
    }
    return out;
}

std::optional<QRect> WindowMemory::geometry() const {
    const std::optional<QList<int>> n = numbers(KeyGeometry);
    if (!n || n->size() != 4 || n->at(2) <= 0 || n->at(3) <= 0)
        return std::nullopt;
    return QRect(n->at(0), n->at(1), n->at(2), n->at(3));
}

void WindowMemory::setGeometry(const QRect& rect) {
    setValue(WindowSection, KeyGeometry, joined({rect.x(), rect.y(), rect.width(), rect.height()}));
}

bool WindowMemory::maximized() const {
    return value(WindowSection, KeyMaximized) == QStringLiteral("1");
}

void WindowMemory::setMaximized(bool maximized) {
    setValue(WindowSection, KeyMaximized, maximized ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<QList<int>> WindowMemory::sizes(const QString& name, qsizetype count) const {
    const std::optional<QList<int>> n = numbers(name);
    if (!n || n->size() != count ||
        std::any_of(n->cbegin(), n->cend(), [](int v) { return v < 0; }))
        return std::nullopt;
    return n;
}

void WindowMemory::setSizes(const QString& name, const QList<int>& sizes) {
    setValue(WindowSection, name, joined(sizes));
}

QString WindowMemory::folder(const QString& dialog) const {
    const QString path = value(FoldersSection, dialog).value_or(QString());
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

void WindowMemory::setFolder(const QString& dialog, const QString& folder) {
    setValue(FoldersSection, dialog, folder);
}

QString WindowMemory::pictureType() const {
    return value(FoldersSection, KeyPictureType).value_or(QString());
}

void WindowMemory::setPictureType(const QString& type) {
    setValue(FoldersSection, KeyPictureType, type);
}

QRect placeOnScreens(const QRect& wanted, const QList<QRect>& screens) {
    if (screens.isEmpty() || wanted.isEmpty())
        return wanted;
    QRect screen = screens.constFirst();
    qint64 best = 0;
    for (const QRect& s : screens)
        if (const qint64 area = overlap(wanted, s); area > best) {
            best = area;
            screen = s;
        }
    QRect placed(QPoint(), wanted.size().boundedTo(screen.size()));
    if (best == 0) {
        placed.moveCenter(screen.center());
        return placed;
    }
    placed.moveTopLeft(wanted.topLeft());
    placed.moveLeft(std::clamp(placed.left(), screen.left(), screen.right() - placed.width() + 1));
    placed.moveTop(std::clamp(placed.top(), screen.top(), screen.bottom() - placed.height() + 1));
    return placed;
}

} // namespace tess
