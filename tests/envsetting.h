#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Sets an environment variable for the life of a test, then puts back what was there.
class EnvSetting {
public:
    EnvSetting(const char* name, const QString& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value.toLocal8Bit());
    }
    ~EnvSetting() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvSetting(const EnvSetting&) = delete;
    EnvSetting& operator=(const EnvSetting&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};
