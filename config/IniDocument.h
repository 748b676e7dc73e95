#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The text of an ini file as lines of Windows-1251 bytes. Lookups compare
// section and key names without regard to case; setValue changes only the
// line it must change, so unknown sections, unknown keys, comments and even
// lines that mean nothing stay in the file byte for byte.
class IniDocument
{
public:
    IniDocument() = default;

    // Splits the bytes at line feeds (a carriage return before one is part of
    // the line end). Never fails: every byte sequence is some document.
    static IniDocument parse(const QByteArray &bytes);
    // The lines joined with CR LF, the last one ended as well.
    QByteArray toBytes() const;

    // The trimmed value of the first key of that name in the first section of
    // that name, or nothing.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Replaces the key's value where it stands, or adds the key after the
    // last entry of its section, or adds the section at the end. Line breaks
    // in the value become blanks, so a value can never start new lines.
    void setValue(const QString &section, const QString &key, const QString &value);

    QStringList sections() const;
    QStringList keys(const QString &section) const;
    int lineCount() const { return int(m_lines.size()); }

private:
    // What a line means, decoded once: lookups compare names only.
    struct Line
    {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        QString name; // the section's or the key's
        QString value; // the entry's, trimmed
    };

    // First and one-past-last line of the section's body; nothing when the
    // section is missing.
    std::optional<std::pair<int, int>> sectionBody(const QString &section) const;
    const QList<Line> &meanings() const;

    QList<QByteArray> m_lines;
    // Built at the first lookup after a change of the lines.
    mutable std::optional<QList<Line>> m_meanings;
};
