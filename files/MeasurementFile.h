#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QtGlobal>

#include <array>
#include <limits>
#include <vector>

class QDateTime;
struct FormatSettings;

// One recorded point: its time in milliseconds since the recording's start
// and the five gases CO, CH, CO2, O2, NOx as the chart holds them.
struct MeasurementPoint
{
    quint32 TimeMs = 0;
    std::array<float, 5> Values {};
};

// A recording as a measurement file holds it: the header row and the points,
// oldest first.
struct MeasurementRecording
{
    static constexpr int ColumnCount = 6;
    using Header = std::array<QString, ColumnCount>;

    // "Время, мс", "CO, %", "CH, ppm", "CO2, %", "O2, %", "NOx, ppm".
    static Header defaultHeader();

    Header HeaderRow = defaultHeader();
    std::vector<MeasurementPoint> Points;
};

// What reading a file gave: the recording, or what is wrong with the file and
// on which line.
struct MeasurementReadResult
{
    bool Ok = false;
    QString Error; // empty when Ok
    int ErrorLine = 0; // line of the file (1 = header); 0 for the file as a whole
    MeasurementRecording Recording;
    // Data lines in the file; more than Recording.Points holds when the
    // reader was told to keep fewer.
    qint64 PointsInFile = 0;
    // The last line, cut short without its line break (a recording ended by
    // a crash), that was left out; 0 when none was.
    int LeftOutLine = 0;
};

// Measurement record files ("*.zm" in the folder "reports"): Windows-1251
// text, one line per row ending in CR LF, six tab-separated cells per line,
// the header line first. Column 0 is the point's time in milliseconds, an
// unsigned decimal integer; columns 1 ... 5 are the gases in the general
// number format (up to 15 significant digits, no trailing zeros) with the
// given decimal separator, so a reading stored as 0.12 reads 0,119999997317791
// and comes back as the same single-precision value.
//
// The reader is strict where the file would otherwise be misread: every line
// must hold exactly six cells, every cell a number of its column; it says
// which line is wrong. Blank lines are skipped. A last line without its line
// break is taken when it is complete; one that is not (the writing stopped in
// the middle of it) is left out and named in LeftOutLine, so the complete
// lines of a recording cut off by a crash still load.
namespace MeasurementFile {

inline constexpr const char *Extension = "zm";
inline constexpr const char *Filter = "Zelmor Report (*.zm)";
inline constexpr const char *Folder = "reports";
// Far more than the longest recording takes (54000 lines of about 100 bytes).
inline constexpr qint64 MaxFileSize = qint64(64) * 1024 * 1024;

QByteArray encode(const MeasurementRecording &recording, QChar decimalSeparator);

// Keeps at most `maxPoints` points but checks every line.
MeasurementReadResult decode(const QByteArray &bytes, QChar decimalSeparator,
    qint64 maxPoints = std::numeric_limits<qint64>::max());

// Writes the file under a temporary name and puts it in place only when all
// of it is written, so a failure leaves any earlier file untouched. False,
// with the reason in `error`, when it cannot be written.
bool save(const QString &path, const MeasurementRecording &recording, QChar decimalSeparator,
    QString *error);

MeasurementReadResult load(const QString &path, QChar decimalSeparator,
    qint64 maxPoints = std::numeric_limits<qint64>::max());

// The name proposed for a new file: the date in the short date format, "__"
// and the time, e.g. "2008-05-12__14-03-22" with "-" as both separators.
QString proposedName(const QDateTime &moment, const FormatSettings &settings);

} // namespace MeasurementFile
