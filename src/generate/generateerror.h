#pragma once

#include <QString>
#include <stdexcept>

namespace tess {

// A failure while publishing a paper that is not the engine's: a full mark that
// is no number, a page file that cannot be written. The message is Chinese and
// says what to do; what() carries it in UTF-8.
class GenerateError : public std::runtime_error {
public:
    explicit GenerateError(const QString& message);
    QString message() const { return m_message; }

private:
    QString m_message;
};

} // namespace tess
