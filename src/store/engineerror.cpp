#include "store/engineerror.h"

namespace tess {

EngineError::EngineError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message) {}

} // namespace tess
