#pragma once

#include <QString>
#include <QStringView>

namespace tess {

// What a text placed unescaped into a cell of the generated page does to the
// page around it, as a browser's parser would take it. The worst finding
// wins; the page cannot be marked from MarkupHazard::UnclosedComment on.
enum class MarkupHazard {
    None,
    TableParts,      // table tags out of pairs: the layout breaks, marking holds
    Control,         // an input control of its own, which nothing marks
    Script,          // a script that runs in the student's browser
    FormEnd,         // </form>: harmless alone, but a later <form> then takes the controls
    UnclosedComment, // "<!--" without "-->": swallows the rest of the page
    UnclosedRawText, // <script>, <textarea>, <template>, ... never ended: swallows the rest
    UnclosedQuote,   // a tag's quoted value never ended: swallows the controls after it
    FormTag,         // <form>: the controls after it leave the paper's form
    NameClash,       // name= or id= taken by the page's own controls or script
};

struct MarkupFinding {
    MarkupHazard hazard = MarkupHazard::None;
    QString detail; // the tag's name (<script>, <input>) or the clashing name
};

// Whether a finding leaves a page that cannot be marked.
inline bool breaksMarking(MarkupHazard hazard) {
    return hazard >= MarkupHazard::UnclosedComment;
}

// The worst finding in one text. One pass over the text: every search goes
// forward from where the last one ended, so a text of megabytes costs time in
// proportion to its length.
MarkupFinding scanPageMarkup(QStringView text);

} // namespace tess
