#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace tess {

// A settings file in the profile format: "[section]" lines and "key=value"
// lines, GBK text (read and written as GB18030, which matches GBK on every GBK
// character and can also hold the rest of Unicode).
//
// Reading: section and key names match without regard to letter case, blanks
// around a value are dropped, one pair of matching quotes around it is removed,
// and at most 2047 bytes of it are returned.
// Writing: only the line of the key changes; every other line (other sections,
// keys, comments, blank lines, even bytes that are not valid GBK) is written
// back exactly as it was read.
class IniFile {
public:
    static constexpr int MaxValueBytes = 2047;

    // Reads the file. Returns false, leaving the profile empty, when it is
    // missing or cannot be read.
    bool load(const QString& path);
    // Replaces the profile by the given file contents.
    void setContents(const QByteArray& bytes);

    // The value of key in section, or nothing when the section or the key is
    // missing. A key that is present with no value gives an empty text.
    std::optional<QString> value(const QString& section, const QString& key) const;
    // Sets key in section: rewrites the key's line where it is, adds it at the
    // end of the section, or adds the section at the end of the file.
    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray contents() const;
    // Writes the whole profile atomically: either the new file is complete or
    // the old one is untouched. Throws std::runtime_error naming the file.
    void save(const QString& path) const;

private:
    struct Line {
        QByteArray text; // without its line break
        QByteArray eol;  // "\n", "\r\n", "\r" or empty for the last line
    };
    struct Found {
        int line = -1;       // the key's line, -1 when missing
        int sectionEnd = -1; // where a new key of the first matching section goes
        bool hasSection = false;
    };

    Found find(const QString& section, const QString& key) const;
    QByteArray newLineBreak() const;

    std::vector<Line> m_lines;
};

// Reads the settings file at path (a missing one starts empty), lets write set
// its keys, and saves the whole file atomically, every other line kept. Throws
// std::runtime_error (a Chinese message naming the file) when it cannot be
// written, or cannot be read: rewriting a file that could not be read would
// wipe whatever else it holds.
void updateSettingsFile(const QString& path, const std::function<void(IniFile&)>& write);

} // namespace tess
