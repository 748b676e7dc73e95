#pragma once

#include <QString>

class IniDocument;

// An ini file on disk in the manner of the system's private profile files:
// Windows-1251 text with CR LF line ends, names compared without regard to
// case. Nothing is cached: every read reads the file and every write rewrites
// it, so what is on disk is always what the program sees. Reading never
// creates the file; the first write does.
class IniFile
{
public:
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

    // Throw IoError("Unable to write to <path>") when the file cannot be
    // written; the file is then left as it was.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    // General notation with the current decimal separator.
    void writeFloat(const QString &section, const QString &key, double value);

private:
    IniDocument load() const;
    void store(const QByteArray &before, const QByteArray &after, bool existed);

    QString m_path;
};
