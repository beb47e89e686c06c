#pragma once

#include <QString>

namespace tess {

// The text a reader sees in a question's or choice's HTML: tags that break a
// line become a space, the other tags go, character references are decoded,
// and runs of white space become one space.
QString plainTextOf(const QString& html);

} // namespace tess
