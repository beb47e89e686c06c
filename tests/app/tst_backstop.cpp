// The application object's backstop: an error escaping an event handler is
// handed to the error handler instead of crossing Qt's event loop.
#include "app/tessapplication.h"
#include "store/engineerror.h"

#include <QEvent>
#include <QWidget>
#include <stdexcept>

namespace {

class Throwing : public QWidget {
public:
    int kind = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            if (kind == 0)
                throw tess::EngineError(QStringLiteral("试题库坏了"));
            throw std::runtime_error("写不进去");
        }
        return QWidget::event(e);
    }
};

} // namespace

int main(int argc, char** argv) {
    tess::TessApplication app(argc, argv);
    QStringList reported;
    app.setErrorHandler([&](const QString& message) { reported << message; });
    Throwing widget;
    QEvent first(QEvent::User);
    QCoreApplication::sendEvent(&widget, &first);
    widget.kind = 1;
    QCoreApplication::postEvent(&widget, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    const QStringList expected{QStringLiteral("试题库坏了"), QStringLiteral("写不进去")};
    if (reported != expected) {
        qCritical("reported: %s", qUtf8Printable(reported.join(QLatin1Char('|'))));
        return 1;
    }
    return 0;
}
