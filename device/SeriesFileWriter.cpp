#include "device/SeriesFileWriter.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char DataRootVariable[] = "ZELMOR_DATA_ROOT";
constexpr int MaxLineLength = 64;

// Appends one whole line; any failure loses it silently.
void appendLine(const QByteArray &path, const char *line, int length)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    const ssize_t written = ::write(fd, line, static_cast<size_t>(length));
    (void)written;
    ::close(fd);
}

} // namespace

QString SeriesFileWriter::defaultDataRoot()
{
    const QString root = qEnvironmentVariable(DataRootVariable);
    return root.isEmpty() ? QStringLiteral("/") : root;
}

QString SeriesFileWriter::folderName(int dataKind)
{
    switch (dataKind) {
    case DataKindWarmUp:
        return QStringLiteral("warm_up");
    case DataKindResult:
        return QStringLiteral("result");
    case DataKindTermRatio:
        return QStringLiteral("term_ratio");
    case DataKindDrift:
        return QStringLiteral("drift");
    default:
        return QString();
    }
}

QString SeriesFileWriter::fileName(int variableIndex)
{
    if (variableIndex < 0 || variableIndex >= VariableCount)
        return QString();
    return QStringLiteral("%1_%2.txt")
        .arg(variableIndex, 2, 10, QLatin1Char('0'))
        .arg(QString::fromLatin1(variableTable()[variableIndex].name));
}

SeriesFileWriter::SeriesFileWriter(const QString &dataRoot)
    : m_root(dataRoot)
{
    QString root = QDir::cleanPath(m_root);
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    // The paths never change, so the per-record work is only open, write and
    // close.
    for (int kind : { DataKindWarmUp, DataKindResult, DataKindTermRatio, DataKindDrift }) {
        const VariableRange range = variableRange(static_cast<DataKindCode>(kind));
        for (int k = range.first; k <= range.last; ++k)
            m_paths[k]
                = QFile::encodeName(root + folderName(kind) + QLatin1Char('/') + fileName(k));
    }
}

void SeriesFileWriter::WriteSeriesFiles(int dataKind, const uint8_t *buffer, int recordIndex)
{
    if (folderName(dataKind).isEmpty())
        return;
    const VariableRange range = variableRange(static_cast<DataKindCode>(dataKind));
    if (range.empty())
        return;
    const QChar separator = FormatSettings::current().decimalSeparator;
    for (int k = range.first; k <= range.last; ++k) {
        m_values[k] = variableValue(k, buffer);
        const QByteArray value = generalText(double(m_values[k]), separator).toUtf8();
        char line[MaxLineLength];
        const int length
            = std::snprintf(line, sizeof line, "%d\t%s\n", recordIndex, value.constData());
        if (length > 0 && length < MaxLineLength)
            appendLine(m_paths[k], line, length);
    }
}
