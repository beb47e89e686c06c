#include "generate/generateerror.h"

namespace tess {

GenerateError::GenerateError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message) {}

} // namespace tess
