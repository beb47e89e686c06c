#pragma once

#include <QApplication>
#include <functional>

namespace tess {

// The application object. Every command, edit and key handler of the main
// window is already guarded; this is the backstop for an error that escapes
// anything else, so that no exception ever crosses Qt's event loop.
class TessApplication : public QApplication {
    Q_OBJECT

public:
    TessApplication(int& argc, char** argv);
    // Where an escaped error's message goes (the main window's error handler).
    void setErrorHandler(std::function<void(const QString&)> handler) {
        m_handler = std::move(handler);
    }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const QString&)> m_handler;
};

} // namespace tess
