#include "app/tessapplication.h"

#include "store/engineerror.h"

#include <exception>

namespace tess {

TessApplication::TessApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TessApplication::notify(QObject* receiver, QEvent* event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        message = currentErrorMessage();
    }
    if (m_handler)
        m_handler(message);
    return false;
}

} // namespace tess
