#include "device/SplineFile.h"

#include "common/ZelmorError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

SplineVector readSplineFile(const QString &path)
{
    const QFileInfo info(path);
    // Checked before reading: a device or a pipe in its place would never end.
    if (!info.exists())
        throw IoError(QStringLiteral("Файл сплайна не найден: %1").arg(path));
    if (!info.isFile())
        throw IoError(QStringLiteral("%1 — не файл сплайна.").arg(path));
    if (info.size() != SplineVectorSize)
        throw IoError(QStringLiteral("%1 — не файл сплайна: его длина %2 байт вместо %3.")
                          .arg(path)
                          .arg(info.size())
                          .arg(SplineVectorSize));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw IoError(QStringLiteral("Файл сплайна не открывается: %1").arg(path));
    const QByteArray bytes = file.read(SplineVectorSize + 1);
    if (bytes.size() != SplineVectorSize)
        throw IoError(QStringLiteral("Файл сплайна не прочитан: %1").arg(path));
    SplineVector spline;
    std::copy(bytes.begin(), bytes.end(), spline.begin());
    return spline;
}

void writeSplineFile(const QString &path, const SplineVector &spline)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(reinterpret_cast<const char *>(spline.data()), SplineVectorSize)
            != SplineVectorSize
        || !file.commit())
        throw IoError(QStringLiteral("Файл сплайна не записан: %1").arg(path));
}
