#pragma once

#include "config/IniDocument.h"

#include <QString>
#include <QtGlobal>

#include <optional>

// An ini file on disk in the manner of the system's private profile files:
// Windows-1251 text with CR LF line ends, names compared without regard to
// case. The file is read and parsed once, at the first read, and every read
// after it looks into that text; reload() reads it again. Every write reads
// the file afresh, changes its one line and writes it back, so keys other
// programs added meanwhile stay. Reading never creates the file; the first
// write does.
//
// A file that is not a regular file (a folder, a device such as /dev/zero,
// a pipe) or is larger than MaxSize is not a settings file of ours: it is
// neither read nor written. Reads then give their defaults, refusal() says
// why in a message that names the file, and writes throw that reason.
class IniFile
{
public:
    // Far more than the program's settings take (about 1 KiB).
    static constexpr qint64 MaxSize = qint64(1) << 20;

    explicit IniFile(const QString &path);

    QString path() const { return m_path; }

    // The key's text, or the default when the file, section or key is missing.
    QString readString(
        const QString &section, const QString &key, const QString &defaultValue) const;
    // The default also when the text is not a decimal integer.
    int readInteger(const QString &section, const QString &key, int defaultValue) const;
    // The default also when the text is not a number in the notation of the
    // current decimal separator.
    double readFloat(const QString &section, const QString &key, double defaultValue) const;

    // Why the file was not read, for the operator; empty when it was read or
    // does not exist. Reads the file when it has not been read yet.
    QString refusal() const;
    // Forgets the text read: the next read reads the file again.
    void reload();

    // Throw IoError("Unable to write to <path>") when the file cannot be
    // written, or with the refusal's reason; the file is then left as it was.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    // General notation with the current decimal separator.
    void writeFloat(const QString &section, const QString &key, double value);

private:
    const IniDocument &document() const;
    void store(const QByteArray &before, const QByteArray &after, bool existed);

    QString m_path;
    mutable std::optional<IniDocument> m_document;
    mutable QString m_refusal;
};
