#include "store/engineerror.h"

namespace tess {

EngineError::EngineError(const QString& message)
    : std::runtime_error(message.toStdString()), m_message(message) {}

QString currentErrorMessage() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}

} // namespace tess
