#pragma once

#include <QString>

namespace tess {

// The correctness flag as the grids' in-cell lists show it. Both compare
// exactly and give an empty text for anything else.
QString FieldToTruOrFalse(const QString& field); // "True" -> "正确", "False" -> "错误"
QString TruOrFalseToField(const QString& item);  // "正确" -> "True", "错误" -> "False"

} // namespace tess
