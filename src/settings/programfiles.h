#pragma once

#include <QString>
#include <QStringList>

namespace tess {

// Where the program's files lie: the paper bank, the settings file, the user
// guide and the pictures folder.
//
// Beside the executable (the portable way, a folder a teacher unpacked) when
// its folder holds the bank or may be written, unless it is an installed
// program's folder (share/tessaloom beside it): an installed program never
// writes beside itself, not even for root. Otherwise in the user's own folders:
// the bank, the guide and the pictures in ~/.local/share/tessaloom, the
// settings file in ~/.config/tessaloom (as QStandardPaths and XDG_* name them).
class ProgramFiles {
public:
    static QString ExeFolder();
    static bool Portable();
    // The executable's folder, or ~/.local/share/tessaloom.
    static QString DataFolder();
    // Where new files and the file dialogs start: the executable's folder, or
    // the user's documents folder (the home folder where there is none).
    static QString WorkFolder();
    static QString PaperBankPath();  // <exe>.mdb, or <data>/tessaloom.mdb
    static QString SettingsPath();   // <exe>.ini, or ~/.config/tessaloom/tessaloom.ini
    static QString GuidePath();      // <exe>.htm, or <data>/tessaloom.htm
    static QString PicturesFolder(); // <data>/images
    // What an installed program brings along: <exe folder>/../share/tessaloom.
    static QString SharedFolder();
    // For the user's folders: makes them, puts the ready-made bank there when
    // the user has none (never replacing one), and the guide when it is absent
    // or differs from the one brought along. Each file is complete before it
    // takes its place. Returns what failed, in Chinese, with what to do;
    // nothing when portable.
    static QStringList PrepareUserFiles();
    // The executable's full path; tests point it into a folder of their own.
    static QString ExecutablePath();
    static void SetExecutablePath(const QString& path);
};

} // namespace tess
