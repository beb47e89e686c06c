#include "settings/newpaperdefaults.h"

#include "settings/inifile.h"

#include <limits>

namespace tess {

namespace {

const QString Section = QStringLiteral("Default");
const QString KeyFullMark = QStringLiteral("DefPapScr");
const QString KeyName = QStringLiteral("DefPapNam");
const QString KeyOutputFile = QStringLiteral("DefPapSav");
const QString KeyCategory = QStringLiteral("DefPapCls");
const QString KeyPageStyle = QStringLiteral("DefPapStyle");

constexpr int BuiltInFullMark = 100;

// Digits in the given base, accumulated with a check against 32 bits.
// limit is the largest magnitude allowed.
std::optional<qint64> parseDigits(QStringView digits, int base, qint64 limit) {
    if (digits.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : digits) {
        const char16_t u = c.unicode();
        int d = -1;
        if (u >= u'0' && u <= u'9')
            d = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            d = u - u'a' + 10;
        else if (base == 16 && u >= u'A' && u <= u'F')
            d = u - u'A' + 10;
        if (d < 0 || d >= base)
            return std::nullopt;
        value = value * base + d;
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

std::optional<int> parseSignedDecimal(QStringView text) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    const qint64 limit = negative ? -qint64(std::numeric_limits<int>::min())
                                  : qint64(std::numeric_limits<int>::max());
    const auto magnitude = parseDigits(text, 10, limit);
    if (!magnitude)
        return std::nullopt;
    return int(negative ? -*magnitude : *magnitude);
}

// The stored full mark: decimal with an optional sign, or 0x and hexadecimal
// digits. Anything else, and anything beyond a 32-bit signed integer, is unreadable.
std::optional<int> parseStoredFullMark(QStringView text) {
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        const auto value = parseDigits(text.mid(2), 16, std::numeric_limits<int>::max());
        if (!value)
            return std::nullopt;
        return int(*value);
    }
    return parseSignedDecimal(text);
}

} // namespace

NewPaperDefaults NewPaperDefaults::builtIn(const QString& exeFolder) {
    NewPaperDefaults d;
    d.fullMark = BuiltInFullMark;
    d.name = QStringLiteral("Untitled Paper");
    QString folder = exeFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    d.outputFile = folder + QStringLiteral("Untitled Paper.html");
    d.category = QStringLiteral("通用");
    return d;
}

NewPaperDefaults NewPaperDefaults::load(const QString& iniPath, const QString& exeFolder) {
    NewPaperDefaults d = builtIn(exeFolder);
    IniFile ini;
    if (!ini.load(iniPath))
        return d;
    if (const auto v = ini.value(Section, KeyFullMark))
        d.fullMark = parseStoredFullMark(*v).value_or(BuiltInFullMark);
    if (const auto v = ini.value(Section, KeyName))
        d.name = *v;
    if (const auto v = ini.value(Section, KeyOutputFile))
        d.outputFile = *v;
    if (const auto v = ini.value(Section, KeyCategory))
        d.category = *v;
    // A style this program does not know is read as the classic page.
    if (const auto v = ini.value(Section, KeyPageStyle))
        d.pageStyle = pageStyleFromName(*v).value_or(PageStyle::Classic);
    return d;
}

void NewPaperDefaults::save(const QString& iniPath) const {
    updateSettingsFile(iniPath, [this](IniFile& ini) { store(ini); });
}

void NewPaperDefaults::store(IniFile& ini) const {
    ini.setValue(Section, KeyFullMark, QString::number(fullMark));
    ini.setValue(Section, KeyName, name);
    ini.setValue(Section, KeyOutputFile, outputFile);
    ini.setValue(Section, KeyCategory, category);
    // Written once a teacher has chosen a style: the file of one who never
    // did keeps exactly its four keys.
    if (pageStyle != PageStyle::Classic || ini.value(Section, KeyPageStyle))
        ini.setValue(Section, KeyPageStyle, pageStyleName(pageStyle));
}

std::optional<int> NewPaperDefaults::parseFullMark(QStringView text) {
    return parseSignedDecimal(text);
}

} // namespace tess
