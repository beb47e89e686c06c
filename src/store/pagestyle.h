#pragma once

#include <QString>
#include <optional>

namespace tess {

class Connection;

// How a paper's page is written: the classic page, or the page made for
// students answering on phones.
enum class PageStyle { Classic = 0, Phone = 1 };

// The style's name as the teacher sees it and as the settings file and the
// command line take it: "经典" or "手机友好".
QString pageStyleName(PageStyle style);
// None for any other text.
std::optional<PageStyle> pageStyleFromName(const QString& name);

// The longest time limit a paper can have: one day.
constexpr int kMaxTimeLimit = 1440;

// A paper's page style and the options of the phone page.
struct PaperStyle {
    PageStyle style = PageStyle::Classic;
    bool shuffleChoices = false;   // each student gets the choices in their own order
    bool shuffleQuestions = false; // and the questions of each type in their own order
    int timeLimit = 0;             // minutes, 0: none

    bool operator==(const PaperStyle&) const = default;
};

// The bank's record of a paper's style. A paper without one, and every paper
// of a bank that has no place for it (made before the styles, or not yet
// upgraded), reads as classic without options. Engine errors are thrown.
PaperStyle readPaperStyle(const Connection& connection, int papId);

// Whether the bank can keep styles (a bank that could not be upgraded cannot).
bool canKeepPaperStyle(const Connection& connection);

// Stores the paper's style; a classic style without options removes the
// record, so that the bank holds rows only for papers that differ. Throws
// EngineError, also when the bank has no place for it.
void writePaperStyle(const Connection& connection, int papId, const PaperStyle& style);

} // namespace tess
