#pragma once

#include <QString>
#include <stdexcept>

// A database statement or connection that failed. what() carries the driver's text (UTF-8) and, for a
// statement, the statement itself, so the screens can show the engine's error as the login does.
class DatabaseError : public std::runtime_error
{
public:
    explicit DatabaseError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};
