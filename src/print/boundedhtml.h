#pragma once

#include <QString>
#include <QtGlobal>

// A text's HTML made safe to lay out: the text layout lays a table out again
// for every table around it, so that its cost doubles with each level of
// nesting (tables nested 20 deep take most of a minute, 500 deep never end).
// No paper nests that deep; what lies deeper is flattened in one pass over
// the text, and what is still too much is not laid out at all.
namespace tess::print {

// Tables within tables within a text: a text beyond this keeps its words and
// loses the deeper tables' frames.
constexpr int kMaxTableDepth = 4;
// Elements of any kind within each other.
constexpr int kMaxElementDepth = 32;
// The work a text's layout may take, in the units of BoundedHtml::cost: a
// question of some sixty pages of text. A text taller than a page is laid out
// again at each page it is cut at, so that its cost grows with the square of
// its length; beyond this a question is not laid out at all.
constexpr qint64 kMaxLayoutCost = 100'000;

struct BoundedHtml {
    QString html;           // the input itself unless something was flattened
    bool flattened = false; // some nesting was taken out
    // An estimate of what laying the text out costs: its characters and tags
    // (not the styles, scripts and comments, which are never laid out), each
    // counted twice over for every table it stands in.
    qint64 cost = 0;

    bool withinBudget() const { return cost <= kMaxLayoutCost; }
};

// Reads html once, front to back, whatever it holds (unclosed or stray tags,
// no tags at all); its time grows with html's length only.
BoundedHtml boundHtml(const QString& html);

} // namespace tess::print
