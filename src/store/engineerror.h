#pragma once

#include <QString>
#include <stdexcept>

namespace tess {

// Every failure of the paper bank engine. The message is what the user reads
// after "程序运行错误:" or inside the login failure box, so it is in Chinese
// and names what went wrong; SQLite's own text is kept at its end.
class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& message);
    QString message() const { return m_message; }

    // Whether the connection to a server bank broke: the statement was not
    // carried out, and the next one makes the connection again.
    bool connectionLost() const { return m_connectionLost; }
    EngineError& markConnectionLost() {
        m_connectionLost = true;
        return *this;
    }

private:
    QString m_message;
    bool m_connectionLost = false;
};

// The message of the error being handled, for the user: call it inside a
// catch block. The program's own errors carry their Chinese text in what().
QString currentErrorMessage();

} // namespace tess
