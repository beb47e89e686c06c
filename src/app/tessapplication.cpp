#include "app/tessapplication.h"

#include "store/engineerror.h"

#include <exception>

namespace tess {

TessApplication::TessApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TessApplication::notify(QObject* receiver, QEvent* event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const EngineError& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("未知错误");
    }
    if (m_handler)
        m_handler(message);
    return false;
}

} // namespace tess
