#pragma once

#include "store/pagestyle.h"

#include <QString>
#include <QStringView>
#include <optional>

namespace tess {

class IniFile;

// The values every new paper starts with, kept in the settings file's section
// [Default] beside the executable.
struct NewPaperDefaults {
    int fullMark = 100; // DefPapScr
    QString name;       // DefPapNam
    QString outputFile; // DefPapSav
    QString category;   // DefPapCls
    // DefPapStyle, after the four: the page style a new paper starts with.
    PageStyle pageStyle = PageStyle::Classic;

    // The built-in defaults; outputFile is "<folder of the executable>/Untitled Paper.html".
    static NewPaperDefaults builtIn(const QString& exeFolder);

    // Reads the settings file; a missing or unreadable file, section or key gives
    // the built-in value. Never writes.
    static NewPaperDefaults load(const QString& iniPath, const QString& exeFolder);
    // Writes the keys, keeping every other line of the file. Creates a
    // missing file. Throws std::runtime_error (Chinese message) when it cannot write.
    void save(const QString& iniPath) const;
    // Sets the keys in ini: the four in their order, then the page style
    // when it is set in the file already or is other than classic.
    void store(IniFile& ini) const;

    // The full mark as the defaults dialog accepts it: an optional sign and
    // decimal digits, nothing else, within 32 bits. Zero and negatives pass.
    static std::optional<int> parseFullMark(QStringView text);
};

} // namespace tess
