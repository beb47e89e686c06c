#pragma once

#include <QString>

// Texts that come from other people's files are shown on the students' page
// as HTML: whatever could run there, send a request from it or reach outside
// the text is taken out before the bank stores them.
namespace tess::exchange {

struct CleanedText {
    QString text;
    int removed = 0; // scripts, unsafe elements, handlers and addresses taken out
};

// The HTML with only what a question may show: text, formatting, lists,
// tables, pictures (src relative, in the pictures folder, http(s) or
// data:image/...) and links to http(s) or mailto. Scripts, styles, frames,
// objects, forms and their controls, meta, link and base go (the first ones
// with their content), as do every on... attribute, script and data
// addresses, and style attributes that load or compute something. Comments
// and declarations go without being counted; other unknown tags go, their
// text stays. A stray '<' becomes &lt; and whatever is left open is closed at
// the end, so the text cannot reach into the page around it. Kept tags whose
// attributes all stay are copied as they were written.
// Linear in the text's length, with no recursion; nesting beyond a depth no
// real text reaches is flattened.
CleanedText cleanHtml(const QString& html);

// A text shown as plain text (a paper's name or category): every tag goes,
// scripts and styles with their content; the removals that cleanHtml counts
// are counted the same way. A '<' left that could open a tag where the text
// is put into a page becomes a full-width '＜'.
CleanedText plainText(const QString& text);

} // namespace tess::exchange
