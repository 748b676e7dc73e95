#include "config/IniFile.h"

#include "common/NumberText.h"
#include "common/ZelmorError.h"
#include "config/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

[[noreturn]] void failWrite(const QString &path)
{
    throw IoError(QStringLiteral("Unable to write to %1").arg(path));
}

// Why a file at the path is not a settings file we may read or replace;
// empty when it is one (or there is none). `size` is what is known of its
// size so far.
QString refusalReason(const QFileInfo &info, qint64 size)
{
    if (!info.isFile())
        return QStringLiteral("это не обычный файл");
    if (size > IniFile::MaxSize)
        return QStringLiteral("он больше %1 КиБ (%2 байт)").arg(IniFile::MaxSize / 1024).arg(size);
    return QString();
}

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

[[noreturn]] void refuseWrite(const QString &path, const QString &reason)
{
    throw IoError(QStringLiteral("Файл настроек %1 не изменён: %2.").arg(shownPath(path), reason));
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

const IniDocument &IniFile::document() const
{
    if (m_document)
        return *m_document;
    m_refusal.clear();
    m_document = IniDocument();
    const QFileInfo info(m_path);
    if (!info.exists())
        return *m_document;
    // Never open what is not a regular file: a pipe would block the
    // program, a device could feed it without end.
    QString reason = refusalReason(info, info.size());
    QByteArray bytes;
    if (reason.isEmpty()) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return *m_document;
        bytes = file.read(MaxSize + 1); // the file may have grown meanwhile
        reason = refusalReason(info, bytes.size());
    }
    if (!reason.isEmpty()) {
        m_refusal = QStringLiteral("Файл настроек %1 не прочитан: %2. Программа работает с "
                                   "настройками по умолчанию и не изменяет этот файл.")
                        .arg(shownPath(m_path), reason);
        return *m_document;
    }
    m_document = IniDocument::parse(bytes);
    return *m_document;
}

QString IniFile::refusal() const
{
    document();
    return m_refusal;
}

void IniFile::reload()
{
    m_document.reset();
    m_refusal.clear();
}

QString IniFile::readString(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    return document().value(section, key).value_or(defaultValue);
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    const auto text = document().value(section, key);
    if (!text)
        return defaultValue;
    return tryStrToInt(*text).value_or(defaultValue);
}

double IniFile::readFloat(const QString &section, const QString &key, double defaultValue) const
{
    const auto text = document().value(section, key);
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
        if (const QString reason = refusalReason(info, info.size()); !reason.isEmpty())
            refuseWrite(m_path, reason);
        // Opening for writing is the one true test of a read-only file; a
        // file we cannot read completely must not be replaced by what little
        // we know of it.
        QFile file(m_path);
        if (!file.open(QIODevice::ReadWrite))
            failWrite(m_path);
        before = file.read(MaxSize + 1);
        if (file.error() != QFileDevice::NoError)
            failWrite(m_path);
        if (const QString reason = refusalReason(info, before.size()); !reason.isEmpty())
            refuseWrite(m_path, reason);
    }
    IniDocument doc = IniDocument::parse(before);
    doc.setValue(section, key, value);
    const QByteArray after = doc.toBytes();
    if (!existed || after != before)
        store(before, after, existed);
    // What is on disk now is what the next read sees.
    m_document = std::move(doc);
    m_refusal.clear();
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
