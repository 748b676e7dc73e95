#pragma once

#include <QString>
#include <stdexcept>

// The one family of exceptions the program throws. An error of this kind ends
// the event handler it escapes from and is shown by the application's
// exception display with message() as its text.
class ZelmorError : public std::runtime_error
{
public:
    explicit ZelmorError(const QString &message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    { }

    QString message() const { return m_message; }

private:
    QString m_message;
};

// A text that is not a number where a number is needed, e.g.
// "'abc' is not a valid integer value".
class ConversionError : public ZelmorError
{
public:
    using ZelmorError::ZelmorError;
};

// A change to the stored results that did not happen: a result not stored,
// a report not deleted. message() is the reason alone ("database is
// locked"); the window that asked for the change says what was not done.
class DatabaseWriteError : public ZelmorError
{
public:
    using ZelmorError::ZelmorError;
};

// A file that cannot be written or read, e.g. "Unable to write to /x/conf/zelmor.ini".
class IoError : public ZelmorError
{
public:
    using ZelmorError::ZelmorError;
};
