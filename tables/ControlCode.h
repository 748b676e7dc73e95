#pragma once

#include <QByteArray>
#include <QString>

// "Контрольный код" printed on a protocol: the first 16 hex digits of the
// stored row's hash, upper case, in groups of four ("3FA2 9C01 77B0 E45D").
// Whoever holds the paper can have the stored row checked against it; empty
// for a row without a hash.
inline QString controlCode(const QByteArray &hash)
{
    if (hash.size() < 16)
        return QString();
    const QByteArray code = hash.left(16).toUpper();
    return QStringLiteral("%1 %2 %3 %4")
        .arg(QLatin1String(code.mid(0, 4)), QLatin1String(code.mid(4, 4)),
            QLatin1String(code.mid(8, 4)), QLatin1String(code.mid(12, 4)));
}
