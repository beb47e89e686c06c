#pragma once

#include "settings/inifile.h"

#include <QList>
#include <QRect>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace tess {

// How the teacher left the main window and the file dialogs, kept across runs
// in the settings file apart from the new-paper defaults: section [Window]
// holds the window's place and size, whether it was maximised, its splitters
// and the grids' column widths; section [Folders] the folder each file dialog
// was last used in and the picture dialog's file type. The file may have been
// edited by hand: a value that is not what is asked for reads as missing.
class WindowMemory {
public:
    // Positions and sizes beyond this are nonsense on any screen.
    static constexpr int MaxExtent = 100000;

    // Reads the settings file; a missing or unreadable one remembers nothing.
    // Never writes.
    static WindowMemory load(const QString& iniPath);
    // Writes what was set since loading into ini; every other line stays.
    void store(IniFile& ini) const;

    // Geometry=x,y,width,height: the window's place when not maximised.
    std::optional<QRect> geometry() const;
    void setGeometry(const QRect& rect);
    // Maximized=1 or 0.
    bool maximized() const;
    void setMaximized(bool maximized);
    // name=a,b,...: exactly count sizes in pixels, none negative.
    std::optional<QList<int>> sizes(const QString& name, qsizetype count) const;
    void setSizes(const QString& name, const QList<int>& sizes);
    // [Folders] dialog=folder: an absolute path, else empty.
    QString folder(const QString& dialog) const;
    void setFolder(const QString& dialog, const QString& folder);
    // [Folders] PictureType=the shown text of the file type.
    QString pictureType() const;
    void setPictureType(const QString& type);

private:
    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    // Whole numbers separated by commas, each within -MaxExtent..MaxExtent.
    std::optional<QList<int>> numbers(const QString& key) const;

    IniFile m_file; // as loaded
    struct Setting {
        QString section;
        QString key;
        QString value;
    };
    std::vector<Setting> m_set; // in the order first set
};

// Where a window remembered at wanted goes on the screens there are now,
// given as their available areas, the primary one first: on the screen it
// overlaps most, or centred on the primary one when it overlaps none; no
// larger than that screen and wholly on it, so that its edges can be reached.
QRect placeOnScreens(const QRect& wanted, const QList<QRect>& screens);

} // namespace tess
