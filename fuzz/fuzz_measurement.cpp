// Feeds arbitrary bytes to the measurement-file reader as the contents of a
// "*.zm" file and checks what the research page relies on: no crash, a
// refusal always names what is wrong, and a file that reads as a recording
// is written back and read again to the same header and the same values.
#include "files/MeasurementFile.h"

#include <QByteArray>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Same value as the file keeps it: NaN stays NaN, -0 is written as 0.
bool sameValue(float a, float b)
{
    if (std::isnan(a))
        return std::isnan(b);
    if (a == 0)
        return b == 0;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A few points are enough to compare; the reader still walks every line.
constexpr qint64 KeptPoints = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (QChar separator : { QChar(QLatin1Char(',')), QChar(QLatin1Char('.')) }) {
        const MeasurementReadResult first = MeasurementFile::decode(bytes, separator, KeptPoints);
        if (!first.Ok) {
            check(!first.Error.isEmpty());
            check(first.ErrorLine >= 0);
            continue;
        }
        check(first.Error.isEmpty());
        check(first.PointsInFile >= qint64(first.Recording.Points.size()));

        const QByteArray written = MeasurementFile::encode(first.Recording, separator);
        const MeasurementReadResult again = MeasurementFile::decode(written, separator);
        check(again.Ok);
        check(again.Recording.Points.size() == first.Recording.Points.size());
        for (size_t n = 0; n < first.Recording.Points.size(); ++n) {
            const MeasurementPoint &a = first.Recording.Points[n];
            const MeasurementPoint &b = again.Recording.Points[n];
            check(a.TimeMs == b.TimeMs);
            for (size_t gas = 0; gas < a.Values.size(); ++gas)
                check(sameValue(a.Values[gas], b.Values[gas]));
        }
        // A header cell may hold characters the code page writes as "?";
        // what was read from a file is in the code page already.
        check(again.Recording.HeaderRow == first.Recording.HeaderRow);
    }
    return 0;
}
