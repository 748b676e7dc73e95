#include "config/IniFile.h"

#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "config/IniDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

[[noreturn]] void failWrite(const QString &path)
{
    throw IoError(QStringLiteral("Unable to write to %1").arg(path));
}

// Rewrites the file through its own handle when no new file may be created
// beside it (a folder the user may not write to). On a failed write the old
// text is put back, so the file is never left cut short.
bool rewriteInPlace(const QString &path, const QByteArray &before, const QByteArray &after)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    if (file.write(after) == after.size() && file.flush() && file.resize(after.size()))
        return true;
    file.seek(0);
    file.write(before);
    file.flush();
    file.resize(before.size());
    return false;
}

} // namespace

IniFile::IniFile(const QString &path)
    : m_path(path)
{ }

IniDocument IniFile::load() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return IniDocument();
    return IniDocument::parse(file.readAll());
}

QString IniFile::readString(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    return load().value(section, key).value_or(defaultValue);
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const auto text = load().value(section, key);
    if (!text)
        return defaultValue;
    return tryStrToInt(*text).value_or(defaultValue);
}

double IniFile::readFloat(const QString &section, const QString &key, double defaultValue) const
{
    const auto text = load().value(section, key);
    if (!text)
        return defaultValue;
    return tryStrToFloat(*text).value_or(defaultValue);
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QFileInfo info(m_path);
    QByteArray before;
    const bool existed = info.exists();
    if (existed) {
        // Opening for writing is the one true test of a read-only file; a
        // file we cannot read completely must not be replaced by what little
        // we know of it.
        QFile file(m_path);
        if (!info.isFile() || !file.open(QIODevice::ReadWrite))
            failWrite(m_path);
        before = file.readAll();
        if (file.error() != QFileDevice::NoError)
            failWrite(m_path);
    }
    IniDocument doc = IniDocument::parse(before);
    doc.setValue(section, key, value);
    const QByteArray after = doc.toBytes();
    if (existed && after == before)
        return;
    store(before, after, existed);
}

void IniFile::store(const QByteArray &before, const QByteArray &after, bool existed)
{
    // A new file written beside the old one and renamed over it: a full disk
    // or a crash leaves either the old or the new text, never half of one.
    QSaveFile file(m_path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(after) == after.size() && file.commit())
            return;
        file.cancelWriting();
        failWrite(m_path);
    }
    if (!existed || !rewriteInPlace(m_path, before, after))
        failWrite(m_path);
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeFloat(const QString &section, const QString &key, double value)
{
    writeString(section, key, generalText(value));
}
