#include "files/MeasurementFile.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "common/Win1251.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <optional>

namespace {

constexpr char Tab = '\t';
constexpr int TimeColumn = 0;

// The texts the number format gives for values that are not finite; a
// recording may hold them when the instrument sent them, so they read back.
std::optional<double> specialValue(const QString &text)
{
    if (text == QLatin1String("NAN"))
        return std::numeric_limits<double>::quiet_NaN();
    if (text == QLatin1String("INF"))
        return std::numeric_limits<double>::infinity();
    if (text == QLatin1String("-INF"))
        return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

std::optional<quint32> timeValue(QByteArrayView cell)
{
    if (cell.isEmpty() || cell.size() > 10)
        return std::nullopt;
    quint64 value = 0;
    for (char c : cell) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint64(c - '0');
    }
    if (value > std::numeric_limits<quint32>::max())
        return std::nullopt;
    return quint32(value);
}

// Numbers are plain ASCII, where the code page and Latin-1 agree.
QString cellText(QByteArrayView cell)
{
    for (char c : cell) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return Win1251::decode(cell.toByteArray());
    }
    return QString::fromLatin1(cell.data(), cell.size());
}

QString columnName(const MeasurementRecording::Header &header, int column)
{
    const QString name = header[column].trimmed();
    const QString number = QString::number(column + 1);
    return name.isEmpty() ? QStringLiteral("столбец %1").arg(number)
                          : QStringLiteral("столбец %1 (%2)").arg(number, name);
}

MeasurementReadResult failure(int line, const QString &text)
{
    MeasurementReadResult result;
    result.ErrorLine = line;
    result.Error = line > 0 ? QStringLiteral("Строка %1: %2").arg(line).arg(text) : text;
    return result;
}

// Splits a line at its tabs; false when it does not hold exactly six cells.
bool splitCells(QByteArrayView line,
    std::array<QByteArrayView, MeasurementRecording::ColumnCount> &cells, int *count)
{
    int n = 0;
    qsizetype start = 0;
    for (;;) {
        const qsizetype tab = line.indexOf(Tab, start);
        const QByteArrayView cell = tab < 0 ? line.sliced(start) : line.sliced(start, tab - start);
        if (n < MeasurementRecording::ColumnCount)
            cells[n] = cell;
        ++n;
        if (tab < 0)
            break;
        start = tab + 1;
    }
    *count = n;
    return n == MeasurementRecording::ColumnCount;
}

QString cellCountText(int count)
{
    return QStringLiteral("ячеек %1 вместо %2 (строка неполная или лишняя табуляция)")
        .arg(count)
        .arg(MeasurementRecording::ColumnCount);
}

// What is wrong with a line as a whole: a character no text file holds, or
// a number of cells other than six; empty when neither.
QString lineError(
    QByteArrayView line, std::array<QByteArrayView, MeasurementRecording::ColumnCount> &cells)
{
    for (char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 && c != Tab)
            return QStringLiteral("управляющий символ с кодом %1: это не текстовый файл записи")
                .arg(int(static_cast<unsigned char>(c)));
    }
    int count = 0;
    if (!splitCells(line, cells, &count))
        return cellCountText(count);
    return QString();
}

QString readHeader(QByteArrayView line, MeasurementRecording::Header &header)
{
    std::array<QByteArrayView, MeasurementRecording::ColumnCount> cells;
    const QString error = lineError(line, cells);
    if (!error.isEmpty())
        return error;
    for (int column = 0; column < MeasurementRecording::ColumnCount; ++column)
        header[column] = Win1251::decode(cells[column].toByteArray());
    return QString();
}

// One data line into `point`; what is wrong with it, empty when nothing is.
QString readPoint(QByteArrayView line, const MeasurementRecording::Header &header,
    QChar decimalSeparator, MeasurementPoint &point)
{
    std::array<QByteArrayView, MeasurementRecording::ColumnCount> cells;
    const QString error = lineError(line, cells);
    if (!error.isEmpty())
        return error;
    for (int column = 0; column < MeasurementRecording::ColumnCount; ++column) {
        const QByteArrayView cell = cells[column];
        const QString where = columnName(header, column);
        if (cell.isEmpty())
            return QStringLiteral("%1 пуст").arg(where);
        if (column == TimeColumn) {
            const auto time = timeValue(cell);
            if (!time)
                return QStringLiteral("%1: '%2' не является временем в миллисекундах")
                    .arg(where, Win1251::decode(cell.toByteArray()));
            point.TimeMs = *time;
            continue;
        }
        const QString text = cellText(cell);
        std::optional<double> value = tryStrToFloat(text, decimalSeparator);
        if (!value)
            value = specialValue(text);
        if (!value)
            return QStringLiteral("%1: '%2' is not a valid floating point value").arg(where, text);
        const float narrowed = float(*value);
        if (std::isinf(narrowed) && std::isfinite(*value))
            return QStringLiteral("%1: число '%2' не умещается в показание").arg(where, text);
        point.Values[column - 1] = narrowed;
    }
    return QString();
}

} // namespace

MeasurementRecording::Header MeasurementRecording::defaultHeader()
{
    return { QStringLiteral("Время, мс"), QStringLiteral("CO, %"), QStringLiteral("CH, ppm"),
        QStringLiteral("CO2, %"), QStringLiteral("O2, %"), QStringLiteral("NOx, ppm") };
}

namespace MeasurementFile {

QByteArray encode(const MeasurementRecording &recording, QChar decimalSeparator)
{
    const QLatin1String lineBreak("\r\n");
    QString header;
    for (int column = 0; column < MeasurementRecording::ColumnCount; ++column) {
        if (column > 0)
            header += QLatin1Char(Tab);
        header += recording.HeaderRow[column];
    }
    header += lineBreak;

    QString text;
    // About 90 characters a line: one allocation for the whole recording.
    constexpr qsizetype TypicalLine = 96;
    text.reserve(qsizetype(recording.Points.size()) * TypicalLine);
    for (const MeasurementPoint &point : recording.Points) {
        text += QString::number(point.TimeMs);
        for (float value : point.Values) {
            text += QLatin1Char(Tab);
            text += generalText(double(value), decimalSeparator);
        }
        text += lineBreak;
    }
    // The numbers are ASCII but for the separator: Latin-1 is the same bytes
    // as the code page then, and much quicker to produce.
    const bool latin = decimalSeparator.unicode() < 0x80;
    return Win1251::encode(header) + (latin ? text.toLatin1() : Win1251::encode(text));
}

MeasurementReadResult decode(const QByteArray &bytes, QChar decimalSeparator, qint64 maxPoints)
{
    if (bytes.isEmpty())
        return failure(0, QStringLiteral("файл пуст, в нём нет даже строки заголовка"));

    MeasurementReadResult result;
    MeasurementRecording &recording = result.Recording;
    bool headerSeen = false;
    int lineNumber = 0;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        ++lineNumber;
        qsizetype end = bytes.indexOf('\n', start);
        // A recording cut off by a crash ends in a line without its break.
        const bool unterminated = end < 0;
        if (unterminated)
            end = size;
        QByteArrayView line(bytes.constData() + start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;

        MeasurementPoint point;
        const QString error = headerSeen
            ? readPoint(line, recording.HeaderRow, decimalSeparator, point)
            : readHeader(line, recording.HeaderRow);
        if (!error.isEmpty()) {
            if (headerSeen && unterminated) {
                result.LeftOutLine = lineNumber;
                break;
            }
            return failure(lineNumber, error);
        }
        if (!headerSeen) {
            headerSeen = true;
            continue;
        }
        ++result.PointsInFile;
        if (qint64(recording.Points.size()) < maxPoints)
            recording.Points.push_back(point);
    }
    if (!headerSeen)
        return failure(0, QStringLiteral("в файле нет строки заголовка"));
    result.Ok = true;
    return result;
}

bool save(const QString &path, const MeasurementRecording &recording, QChar decimalSeparator,
    QString *error)
{
    const QByteArray bytes = encode(recording, decimalSeparator);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

MeasurementReadResult load(const QString &path, QChar decimalSeparator, qint64 maxPoints)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(0, QStringLiteral("файл не читается: %1").arg(file.errorString()));
    if (file.size() > MaxFileSize)
        return failure(0,
            QStringLiteral("файл размером %1 байт слишком велик для записи измерений")
                .arg(file.size()));
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return failure(0, QStringLiteral("файл не читается: %1").arg(file.errorString()));
    if (bytes.size() > MaxFileSize)
        return failure(0, QStringLiteral("файл слишком велик для записи измерений"));
    return decode(bytes, decimalSeparator, maxPoints);
}

QString proposedName(const QDateTime &moment, const FormatSettings &settings)
{
    return formatDateTime(QStringLiteral("ddddd"), moment, settings) + QStringLiteral("__")
        + formatDateTime(QStringLiteral("hh:nn:ss"), moment, settings);
}

} // namespace MeasurementFile
