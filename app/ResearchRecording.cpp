#include "app/ResearchRecording.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "device/TOpros_ZMX.h"

#include <QDateTime>
#include <QDir>

#include <chrono>
#include <thread>

namespace {

constexpr quint32 Black = 0x000000;
constexpr quint32 ChartGrid = 0x393939;
const QString ChartTitle = QStringLiteral("Показания газов.");

// Axis of the chart when the CO range cannot be shown: 0 to 5 %.
constexpr float StartAxisMin = 0;
constexpr float StartAxisMax = 5.0f;
constexpr float TimeGridStep = 60;
constexpr float StartValueGridStep = 0.5f;
constexpr float ValueGridShare = 0.1f; // value grid step: a tenth of the channel's top
constexpr int LegendDigits = 5;

// What was under way in the thread when it was told to stop has arrived by then.
constexpr auto WaitAfterStop = std::chrono::milliseconds(100);

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

ResearchRecording::Link ResearchRecording::Link::to(TOpros_ZMX &thread)
{
    Link link;
    link.takeNewResult = [&thread]() -> std::optional<ResultRecord> {
        ResultRecord record;
        if (!thread.takeNewResult(&record))
            return std::nullopt;
        return record;
    };
    link.restartSeries = [&thread] { thread.requestRecordCountReset(); };
    link.requestReadings = [&thread] { thread.RequestOperation(ZMX_get_result, 1, 0); };
    link.stopPolling = [&thread] { thread.StopCycle(); };
    return link;
}

ResearchRecording::ResearchRecording(Link link)
    : m_ownLink(std::move(link))
    , m_link(m_ownLink)
{ }

ResearchRecording::~ResearchRecording() = default;

void ResearchRecording::setStopPolling(std::function<void()> stop)
{
    m_link.stopPolling = stop ? std::move(stop) : m_ownLink.stopPolling;
}

void ResearchRecording::setRequestReadings(std::function<void()> request)
{
    m_link.requestReadings = request ? std::move(request) : m_ownLink.requestReadings;
}

TGraphBox &ResearchRecording::createChart(
    GraphImageTarget *plotBox, QPoint plotTopLeft, TGraphBox::Clock clock)
{
    m_chart = std::make_unique<TGraphBox>(plotBox, plotTopLeft, std::move(clock));
    setChannelRanges(m_ranges);
    return *m_chart;
}

void ResearchRecording::configureChart()
{
    if (!m_chart)
        return;
    TGraphBox &c = *m_chart;
    c.ChannelCount = GasCount;
    c.LabelDecimals = AxisDecimals[0];
    c.BackColor = Black;
    c.GridColor = ChartGrid;
    for (int gas = 0; gas < GasCount; ++gas)
        c.PenColors[gas][TGraphBox::MainPass] = GasColours[gas];
    c.DeriveHaloColours();
    c.SetTitle(ChartTitle);
    // The Y axis starts on the CO scale, as "CO, %" under "Шкала Y:" says: the
    // CO channel's own range, so the labels read what the red curve shows.
    const float top = c.ChannelMax[0];
    if (c.SetAxes(c.ChannelMin[0], top, TimeGridStep, top * ValueGridShare) != 0)
        c.SetAxes(StartAxisMin, StartAxisMax, TimeGridStep, StartValueGridStep);
    c.DrawGrid();
    c.DrawCurves();
    c.Present();
}

void ResearchRecording::destroyChart()
{
    m_chart.reset();
}

void ResearchRecording::setChannelRanges(const DisplayLimits &limits)
{
    m_ranges = limits;
    if (!m_chart)
        return;
    for (int gas = 0; gas < GasCount; ++gas) {
        m_chart->ChannelMin[gas] = limits.Low[gas];
        m_chart->ChannelMax[gas] = limits.High[gas];
    }
}

QString ResearchRecording::caption(int gas)
{
    static const std::array<QString, GasCount> captions { QStringLiteral("CO, %"),
        QStringLiteral("CH, ppm"), QStringLiteral("CO2, %"), QStringLiteral("O2, %"),
        QStringLiteral("NOx, ppm") };
    return gas >= 0 && gas < GasCount ? captions[size_t(gas)] : QString();
}

void ResearchRecording::chooseAxis(int gas, int decimals)
{
    if (!m_chart || gas < 0 || gas >= GasCount)
        return;
    TGraphBox &c = *m_chart;
    c.LabelDecimals = decimals;
    const float top = c.ChannelMax[gas];
    // The chart refuses an empty or inverted range and keeps its axes; a new
    // scale redraws the grid at once, so the labels and lines agree.
    if (c.SetAxes(c.ChannelMin[gas], top, TimeGridStep, top * ValueGridShare) == 0) {
        c.DrawGrid();
        c.DrawCurves();
        c.Present();
    }
}

void ResearchRecording::startAfresh()
{
    if (!m_chart)
        return;
    m_chart->Reset();
    // A new recording is drawn from the left edge whatever the chart showed.
    m_chart->ScrollTo(0);
}

void ResearchRecording::start()
{
    startAfresh();
    m_link.restartSeries();
    if (m_chart)
        m_chart->StartTick = m_chart->now();
    m_link.requestReadings();
}

void ResearchRecording::stop()
{
    m_link.stopPolling();
}

void ResearchRecording::scrollTo(int position)
{
    if (m_chart)
        m_chart->ScrollTo(position);
}

std::optional<ResearchRecording::Legend> ResearchRecording::feed()
{
    if (!m_chart)
        return std::nullopt;
    const std::optional<ResultRecord> record = m_link.takeNewResult();
    if (!record)
        return std::nullopt;
    const TGraphBox::Values values { record->gaseCO, record->gaseCH, record->gaseCO2,
        record->gaseO2, record->gaseNOx };
    m_chart->AddPoint(values);
    Legend legend;
    for (int gas = 0; gas < GasCount; ++gas) {
        const int decimals = gas == GasCount - 1 ? 0 : 2;
        legend[size_t(gas)] = fixedText(values[gas], LegendDigits, decimals);
    }
    return legend;
}

QString ResearchRecording::fileFolder()
{
    const QDir current = QDir::current();
    const QString folder = QLatin1String(MeasurementFile::Folder);
    return current.exists(folder) ? current.absoluteFilePath(folder) : current.absolutePath();
}

QString ResearchRecording::prepareSave()
{
    // File names and the dates written from now on use "yyyy-mm-dd" and "hh-nn-ss".
    FormatSettings::setShortDateFormat(QStringLiteral("yyyy/mm/dd"));
    FormatSettings::setDateSeparator(QLatin1Char('-'));
    FormatSettings::setTimeSeparator(QLatin1Char('-'));
    stop();
    std::this_thread::sleep_for(WaitAfterStop);
    return MeasurementFile::proposedName(QDateTime::currentDateTime(), FormatSettings::current());
}

MeasurementRecording ResearchRecording::recordingFromChart(
    const MeasurementRecording::Header &header) const
{
    MeasurementRecording recording;
    recording.HeaderRow = header;
    if (!m_chart)
        return recording;
    const TGraphBox &c = *m_chart;
    recording.Points.resize(size_t(c.PointCount()));
    for (int n = 0; n < c.PointCount(); ++n) {
        MeasurementPoint &point = recording.Points[size_t(n)];
        point.TimeMs = c.PointTick(n) - c.StartTick;
        for (int gas = 0; gas < GasCount; ++gas)
            point.Values[gas] = c.Point(gas, n);
    }
    return recording;
}

ResearchRecording::Saved ResearchRecording::save(
    const QString &path, const MeasurementRecording::Header &header) const
{
    Saved saved;
    saved.recording = recordingFromChart(header);
    if (!saved.recording.Points.empty())
        saved.lengthMs = saved.recording.Points.back().TimeMs;
    QString error;
    if (!MeasurementFile::save(
            path, saved.recording, FormatSettings::current().decimalSeparator, &error))
        saved.error = QStringLiteral("Файл %1 не сохранён: %2").arg(shownPath(path), error);
    return saved;
}

ResearchRecording::Opened ResearchRecording::open(const QString &path)
{
    // The whole file is read before anything changes: a file that is not a
    // recording leaves the chart as it was.
    MeasurementReadResult result = MeasurementFile::load(
        path, FormatSettings::current().decimalSeparator, TGraphBox::Capacity);
    Opened opened;
    if (!result.Ok) {
        opened.message = QStringLiteral("Файл %1 не открыт, это не запись измерений.\n%2.")
                             .arg(shownPath(path), result.Error);
        return opened;
    }
    if (m_chart)
        loadIntoChart(result.Recording);
    QStringList notes;
    if (result.LeftOutLine > 0) {
        notes << QStringLiteral("Последняя строка файла %1 (строка %2) неполная, запись на ней "
                                "оборвалась: эта строка не загружена.")
                     .arg(shownPath(path))
                     .arg(result.LeftOutLine);
    }
    if (result.PointsInFile > qint64(result.Recording.Points.size())) {
        notes << QStringLiteral("В файле %1 точек, график вмещает %2: показаны первые %2.")
                     .arg(result.PointsInFile)
                     .arg(TGraphBox::Capacity);
    }
    opened.loaded = true;
    opened.recording = std::move(result.Recording);
    opened.message = notes.join(QLatin1Char('\n'));
    return opened;
}

void ResearchRecording::loadIntoChart(const MeasurementRecording &recording)
{
    TGraphBox &c = *m_chart;
    c.Reset();
    c.RedrawOnAdd = false;
    c.ScrollOffset = 0;
    c.DrawGrid();
    // Each point keeps its recorded time, so the time axis reads as it did
    // when the recording was made.
    for (const MeasurementPoint &point : recording.Points)
        c.AppendPoint(point.Values, c.StartTick + point.TimeMs);
    c.RedrawOnAdd = true;
    c.ScrollTo(0);
}
