#pragma once

#include <QString>

namespace tess {

// The program's files lie beside its executable: the paper bank, the
// settings file, the user guide and the pictures folder.
class ProgramFiles {
public:
    static QString ExeFolder();
    static QString PaperBankPath();  // <exe>.mdb
    static QString SettingsPath();   // <exe>.ini
    static QString GuidePath();      // <exe>.htm
    static QString PicturesFolder(); // <exe folder>/images
    // The executable's full path; tests point it into a folder of their own.
    static QString ExecutablePath();
    static void SetExecutablePath(const QString& path);
};

} // namespace tess
