#pragma once
// The one exception type of the program. Every handler that can fail throws
// it with the text the operator is to see; the general error report shows it.

#include <QString>
#include <exception>

class Failure : public std::exception
{
public:
    explicit Failure(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A failure of the table store; carries the engine's own message.
class StoreError : public Failure
{
public:
    using Failure::Failure;
};

// A write refused because another program changed the row since it was
// read (another weighbridge on the same journal completed it, say).
class RowChangedError : public StoreError
{
public:
    using StoreError::StoreError;
};
