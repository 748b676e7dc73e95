#include "device/SeriesFileWriter.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char DataRootVariable[] = "ZELMOR_DATA_ROOT";
constexpr int MaxLineLength = 64;
constexpr mode_t FileMode = 0644;

// Appends one whole line to `name` in the open folder; any failure loses it
// silently. Non-blocking so that a pipe in the file's place fails at once.
void appendLine(int folder, const QByteArray &name, const char *line, int length)
{
    const int fd = ::openat(folder, name.constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, FileMode);
    if (fd < 0)
        return;
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const ssize_t written = ::write(fd, line, static_cast<size_t>(length));
        (void)written;
    }
    ::close(fd);
}

} // namespace

QString SeriesFileWriter::defaultDataRoot()
{
    const QString root = qEnvironmentVariable(DataRootVariable);
    return root.isEmpty() ? programFolder() : root;
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
    // The paths never change, so the per-record work is only the opens,
    // writes and closes.
    for (int kind : { DataKindWarmUp, DataKindResult, DataKindTermRatio, DataKindDrift }) {
        m_folders[kind] = QFile::encodeName(root + folderName(kind));
        const VariableRange range = variableRange(static_cast<DataKindCode>(kind));
        for (int k = range.first; k <= range.last; ++k)
            m_names[k] = QFile::encodeName(fileName(k));
    }
}

void SeriesFileWriter::WriteSeriesFiles(int dataKind, const uint8_t *buffer, int recordIndex)
{
    if (folderName(dataKind).isEmpty())
        return;
    const VariableRange range = variableRange(static_cast<DataKindCode>(dataKind));
    if (range.empty())
        return;
    for (int k = range.first; k <= range.last; ++k)
        m_values[k] = variableValue(k, buffer);
    // The folder is opened once per record, without following a link in its
    // place; the files are then opened inside it.
    const int folder
        = ::open(m_folders[dataKind].constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return;
    const QChar separator = FormatSettings::current().decimalSeparator;
    for (int k = range.first; k <= range.last; ++k) {
        const QByteArray value = generalText(double(m_values[k]), separator).toUtf8();
        char line[MaxLineLength];
        const int length
            = std::snprintf(line, sizeof line, "%d\t%s\n", recordIndex, value.constData());
        if (length > 0 && length < MaxLineLength)
            appendLine(folder, m_names[k], line, length);
    }
    ::close(folder);
}
