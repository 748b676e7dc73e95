#include "config/IniDocument.h"

#include "common/Win1251.h"

namespace {

// The name of a section header "[name]", or nothing for any other line.
std::optional<QString> sectionName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return std::nullopt;
    const int close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return Win1251::decode(t.mid(1, close - 1)).trimmed();
}

// Key and value of a line "key=value"; nothing for comments and lines
// without "=".
std::optional<std::pair<QString, QString>> entry(const QByteArray &line)
{
    const int eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    const QByteArray key = line.left(eq).trimmed();
    if (key.isEmpty() || key.startsWith(';') || key.startsWith('['))
        return std::nullopt;
    return std::make_pair(Win1251::decode(key), Win1251::decode(line.mid(eq + 1).trimmed()));
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray entryLine(const QByteArray &key, const QString &value)
{
    QString oneLine = value;
    oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '));
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return key + '=' + Win1251::encode(oneLine);
}

} // namespace

IniDocument IniDocument::parse(const QByteArray &bytes)
{
    IniDocument doc;
    if (bytes.isEmpty())
        return doc;
    doc.m_lines = bytes.split('\n');
    if (doc.m_lines.last().isEmpty())
        doc.m_lines.removeLast(); // the text ended with a line feed
    for (QByteArray &line : doc.m_lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return doc;
}

QByteArray IniDocument::toBytes() const
{
    QByteArray bytes;
    for (const QByteArray &line : m_lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return bytes;
}

const QList<IniDocument::Line> &IniDocument::meanings() const
{
    if (!m_meanings) {
        QList<Line> lines;
        lines.reserve(m_lines.size());
        for (const QByteArray &bytes : m_lines) {
            Line line;
            if (auto name = sectionName(bytes)) {
                line.kind = Line::Kind::Section;
                line.name = std::move(*name);
            } else if (auto e = entry(bytes)) {
                line.kind = Line::Kind::Entry;
                line.name = std::move(e->first);
                line.value = std::move(e->second);
            }
            lines.append(std::move(line));
        }
        m_meanings = std::move(lines);
    }
    return *m_meanings;
}

std::optional<std::pair<int, int>> IniDocument::sectionBody(const QString &section) const
{
    const QList<Line> &lines = meanings();
    const int count = int(lines.size());
    for (int i = 0; i < count; ++i) {
        const Line &line = lines.at(i);
        if (line.kind != Line::Kind::Section || !sameName(line.name, section))
            continue;
        int end = i + 1;
        while (end < count && lines.at(end).kind != Line::Kind::Section)
            ++end;
        return std::make_pair(i + 1, end);
    }
    return std::nullopt;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const auto body = sectionBody(section);
    if (!body)
        return std::nullopt;
    const QList<Line> &lines = meanings();
    for (int i = body->first; i < body->second; ++i) {
        const Line &line = lines.at(i);
        if (line.kind == Line::Kind::Entry && sameName(line.name, key))
            return line.value;
    }
    return std::nullopt;
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const auto body = sectionBody(section);
    m_meanings.reset();
    if (!body) {
        m_lines.append('[' + Win1251::encode(section) + ']');
        m_lines.append(entryLine(Win1251::encode(key), value));
        return;
    }
    int lastEntry = body->first - 1; // the header when the section is empty
    for (int i = body->first; i < body->second; ++i) {
        const QByteArray &line = m_lines.at(i);
        const auto e = entry(line);
        if (e && sameName(e->first, key)) {
            // Keep the key as the file spells it.
            m_lines[i] = entryLine(line.left(line.indexOf('=')).trimmed(), value);
            return;
        }
        if (!line.trimmed().isEmpty())
            lastEntry = i;
    }
    m_lines.insert(lastEntry + 1, entryLine(Win1251::encode(key), value));
}

QStringList IniDocument::sections() const
{
    QStringList names;
    for (const Line &line : meanings()) {
        if (line.kind == Line::Kind::Section)
            names.append(line.name);
    }
    return names;
}

QStringList IniDocument::keys(const QString &section) const
{
    QStringList names;
    if (const auto body = sectionBody(section)) {
        const QList<Line> &lines = meanings();
        for (int i = body->first; i < body->second; ++i) {
            if (lines.at(i).kind == Line::Kind::Entry)
                names.append(lines.at(i).name);
        }
    }
    return names;
}
