#include "editor/truorfalse.h"

namespace tess {

namespace {
const QString kTrueField = QStringLiteral("True");
const QString kFalseField = QStringLiteral("False");
const QString kTrueItem = QStringLiteral("正确");
const QString kFalseItem = QStringLiteral("错误");
} // namespace

QString FieldToTruOrFalse(const QString& field) {
    if (field == kTrueField)
        return kTrueItem;
    if (field == kFalseField)
        return kFalseItem;
    return QString();
}

QString TruOrFalseToField(const QString& item) {
    if (item == kTrueItem)
        return kTrueField;
    if (item == kFalseItem)
        return kFalseField;
    return QString();
}

} // namespace tess
