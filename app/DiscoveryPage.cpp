#include "app/DiscoveryPage.h"

#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "device/Records.h"
#include "device/TOpros_ZMX.h"
#include "files/MeasurementFile.h"
#include "graphs/TGraphBox.h"
#include "graphs/ui/GraphPaintBox.h"
#include "graphs/ui/TGraphBoxAxes.h"
#include "widgets/MessageBoxes.h"

#include <QBoxLayout>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

// Colours of the page, 0x00BBGGRR as the chart takes them.
constexpr quint32 Red = 0x0000FF;
constexpr quint32 Lime = 0x00FF00;
constexpr quint32 Yellow = 0x00FFFF;
constexpr quint32 Aqua = 0xFFFF00;
constexpr quint32 Fuchsia = 0xFF00FF;
constexpr quint32 Black = 0x000000;
constexpr quint32 ChartGrid = 0x393939;
const std::array<quint32, DiscoveryPage::GasCount> GasColours { Red, Lime, Yellow, Aqua, Fuchsia };

const QString LimeCss = QStringLiteral("#00ff00");
const QString CreamCss = QStringLiteral("#fffbf0");
const QString ButtonCss = QStringLiteral(
    "QPushButton { color: #00ff00; background: rgb(10, 50, 5); border: none; font-weight: bold; }"
    "QPushButton:pressed { background: rgb(20, 90, 10); }");

const std::array<QString, DiscoveryPage::GasCount> Captions { QStringLiteral("CO, %"),
    QStringLiteral("CH, ppm"), QStringLiteral("CO2, %"), QStringLiteral("O2, %"),
    QStringLiteral("NOx, ppm") };
const std::array<const char *, DiscoveryPage::GasCount> LabelNames { "labDCO", "labDCH", "labDCO2",
    "labDO2", "labDNOx" };
const std::array<const char *, DiscoveryPage::GasCount> SwatchNames { "Shape7", "Shape11",
    "Shape12", "Shape13", "Shape14" };
// Decimals of the Y labels for each channel: the ppm gases have none.
const std::array<int, DiscoveryPage::GasCount> AxisDecimals { 2, 0, 2, 2, 0 };

const QString NoValueText = QStringLiteral("-.--");
const QString StartText = QStringLiteral("Старт");
const QString StopText = QStringLiteral("Стоп");
const QString ChartTitle = QStringLiteral("Показания газов.");

// Layout of the page (pixels of the page).
const QPoint PlotTopLeft(68, 28);
constexpr int ScrollBarTop = 556;
constexpr int ScrollBarHeight = 17;
const QRect LegendRect(68, 584, 610, 112);
constexpr int LegendColumnWidth = 120;
constexpr int LegendInset = 10;
const QRect AxisCaptionRect(700, 590, 70, 20);
const QRect AxisNameRect(770, 590, 120, 20);
const QRect StartRect(700, 626, 100, 30);
const QRect StopRect(820, 626, 100, 30);
const QRect StatusCaptionRect(700, 672, 60, 20);
const QRect StatusRect(760, 672, 250, 20);

// Axis of the chart when the CO range cannot be shown: 0 to 5 %.
constexpr float StartAxisMin = 0;
constexpr float StartAxisMax = 5.0f;
constexpr float TimeGridStep = 60;
constexpr float StartValueGridStep = 0.5f;
constexpr float ValueGridShare = 0.1f; // value grid step: a tenth of the channel's top
constexpr int ValueDigits = 5;

constexpr auto WaitAfterStop = std::chrono::milliseconds(100);
constexpr int GridSliceRows = 2000; // about 10 ms of the event loop

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QRect &rect)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(rect);
    return label;
}

QString defaultSaveFileName(QWidget *parent, const QString &folder, const QString &proposedName)
{
    QFileDialog dialog(
        parent, QStringLiteral("Сохранить как"), folder, QLatin1String(MeasurementFile::Filter));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QLatin1String(MeasurementFile::Extension));
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString defaultOpenFileName(QWidget *parent, const QString &folder)
{
    QFileDialog dialog(
        parent, QStringLiteral("Открыть"), folder, QLatin1String(MeasurementFile::Filter));
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QLatin1String(MeasurementFile::Extension));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

DiscoveryPage::DiscoveryPage(const Widgets &widgets, TOpros_ZMX &opros, QObject *parent)
    : QObject(parent)
    , m_opros(opros)
    , m_page(widgets.tabDiscovery)
    , m_grid(widgets.grData)
    , m_dialogs { &defaultSaveFileName, &defaultOpenFileName }
{
    setObjectName(QStringLiteral("DiscoveryPage"));
    labDStatus = widgets.labDStatus;
    buildPage(widgets.tabDiscovery);
    buildDataPageControls(widgets.TabSheet3);

    TimerUpdateDiscoverGraph = new QTimer(this);
    TimerUpdateDiscoverGraph->setObjectName(QStringLiteral("TimerUpdateDiscoverGraph"));
    TimerUpdateDiscoverGraph->setInterval(FeedIntervalMs);
    connect(TimerUpdateDiscoverGraph, &QTimer::timeout, this,
        &DiscoveryPage::TimerUpdateDiscoverGraphTimer);
    TimerUpdateDiscoverGraph->start();

    m_gridTimer = new QTimer(this);
    m_gridTimer->setSingleShot(true);
    m_gridTimer->setInterval(0);
    connect(m_gridTimer, &QTimer::timeout, this, &DiscoveryPage::fillGridSlice);
}

DiscoveryPage::~DiscoveryPage()
{
    DestroyChart();
}

void DiscoveryPage::buildPage(QWidget *page)
{
    // The page's placeholder goes; the status label stays and moves onto the panel.
    delete page->layout();
    const QList<QWidget *> old = page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : old) {
        if (child != labDStatus)
            delete child;
    }
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    PanelDiscover = new QFrame(page);
    PanelDiscover->setObjectName(QStringLiteral("PanelDiscover"));
    PanelDiscover->setStyleSheet(QStringLiteral("QFrame#PanelDiscover { background: black; }"));
    layout->addWidget(PanelDiscover);
    QWidget *panel = PanelDiscover;

    Image3 = makeLabel(panel, "Image3", QString(), QRect(0, 0, 0, 0));
    Image3->setScaledContents(true);
    Image3->hide(); // no background picture: the panel is black

    pboxDisco = new GraphPaintBox(panel);
    pboxDisco->setObjectName(QStringLiteral("pboxDisco"));
    pboxDisco->setGeometry(QRect(PlotTopLeft, QSize(PlotWidth, PlotHeight)));

    ScrollBar1 = new QScrollBar(Qt::Horizontal, panel);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setGeometry(PlotTopLeft.x(), ScrollBarTop, PlotWidth, ScrollBarHeight);
    ScrollBar1->setRange(0, ScrollMaximum);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &DiscoveryPage::ScrollBar1Change);

    buildLegend();

    labCurrA = makeLabel(panel, "labCurrA", QStringLiteral("Шкала Y:"), AxisCaptionRect);
    labCurrA->setStyleSheet(QStringLiteral("color: white;"));
    labCurrAxis = makeLabel(panel, "labCurrAxis", Captions[0], AxisNameRect);
    labCurrAxis->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(LimeCss));
    labCurrA->setBuddy(labCurrAxis);

    Shape15 = new QFrame(panel);
    Shape15->setObjectName(QStringLiteral("Shape15"));
    Shape15->setGeometry(StartRect);
    Shape15->setStyleSheet(QStringLiteral("background: rgb(10, 50, 5);"));
    Shape16 = new QFrame(panel);
    Shape16->setObjectName(QStringLiteral("Shape16"));
    Shape16->setGeometry(StopRect);
    Shape16->setStyleSheet(QStringLiteral("background: rgb(10, 50, 5);"));
    btnDStart = new QPushButton(StartText, panel);
    btnDStart->setObjectName(QStringLiteral("btnDStart"));
    btnDStart->setGeometry(StartRect);
    btnDStart->setFlat(true);
    btnDStart->setStyleSheet(ButtonCss);
    btnDStop = new QPushButton(StopText, panel);
    btnDStop->setObjectName(QStringLiteral("btnDStop"));
    btnDStop->setGeometry(StopRect);
    btnDStop->setFlat(true);
    btnDStop->setStyleSheet(ButtonCss);
    connect(btnDStart, &QPushButton::clicked, this, &DiscoveryPage::btnDStartClick);
    connect(btnDStop, &QPushButton::clicked, this, &DiscoveryPage::btnDStopClick);

    Label24 = makeLabel(panel, "Label24", QStringLiteral("Статус:"), StatusCaptionRect);
    Label24->setStyleSheet(QStringLiteral("color: white;"));
    if (labDStatus) {
        labDStatus->setParent(panel);
        labDStatus->setGeometry(StatusRect);
        labDStatus->setStyleSheet(QStringLiteral("color: %1;").arg(LimeCss));
        if (labDStatus->text().isEmpty())
            labDStatus->setText(QStringLiteral("Ошибка связи"));
        labDStatus->show();
        Label24->setBuddy(labDStatus);
    }
}

void DiscoveryPage::buildLegend()
{
    GroupBox6 = new QFrame(PanelDiscover);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    GroupBox6->setGeometry(LegendRect);
    GroupBox6->setFrameShape(QFrame::Box);
    GroupBox6->setStyleSheet(QStringLiteral("QFrame#GroupBox6 { border: 1px solid #393939; }"));
    for (int gas = 0; gas < GasCount; ++gas) {
        const int left = LegendInset + gas * LegendColumnWidth;
        const int width = LegendColumnWidth - 2 * LegendInset;
        QLabel *label
            = makeLabel(GroupBox6, LabelNames[gas], Captions[gas], QRect(left, 10, width, 22));
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(LimeCss));
        label->setCursor(Qt::PointingHandCursor);
        label->setMouseTracking(true);
        label->installEventFilter(this);
        legendLabels[gas] = label;

        auto *value = new QLineEdit(NoValueText, GroupBox6);
        value->setObjectName(QStringLiteral("ed%1").arg(gas + 1));
        value->setGeometry(left, 40, width, 26);
        value->setReadOnly(true);
        value->setAlignment(Qt::AlignCenter);
        legendValues[gas] = value;
        label->setBuddy(value);

        auto *swatch = new QFrame(GroupBox6);
        swatch->setObjectName(QLatin1String(SwatchNames[gas]));
        swatch->setGeometry(left, 78, width, 14);
        const quint32 c = GasColours[gas];
        swatch->setStyleSheet(QStringLiteral("background: rgb(%1, %2, %3);")
                                  .arg(c & 0xFF)
                                  .arg((c >> 8) & 0xFF)
                                  .arg((c >> 16) & 0xFF));
        legendSwatches[gas] = swatch;
    }
}

void DiscoveryPage::buildDataPageControls(QWidget *dataPage)
{
    if (!dataPage)
        return;
    btnStartDiscover = new QPushButton(StartText, dataPage);
    btnStartDiscover->setObjectName(QStringLiteral("btnStartDiscover"));
    Label28 = new QLabel(dataPage);
    Label28->setObjectName(QStringLiteral("Label28"));
    connect(btnStartDiscover, &QPushButton::clicked, this, &DiscoveryPage::btnStartDiscoverClick);
    if (auto *box = qobject_cast<QBoxLayout *>(dataPage->layout())) {
        auto *row = new QHBoxLayout;
        row->addWidget(btnStartDiscover);
        row->addWidget(Label28, 1);
        box->insertLayout(0, row);
    } else {
        btnStartDiscover->move(8, 8);
        Label28->move(100, 12);
    }
}

bool DiscoveryPage::eventFilter(QObject *watched, QEvent *event)
{
    for (int gas = 0; gas < GasCount; ++gas) {
        QLabel *label = legendLabels[gas];
        if (watched != label)
            continue;
        switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            label->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(CreamCss));
            break;
        case QEvent::Leave:
            label->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(LimeCss));
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
                SetDiscoverChannel(gas, AxisDecimals[gas]);
            break;
        default:
            break;
        }
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DiscoveryPage::CreateChart()
{
    DestroyChart();
    m_chart = std::make_unique<TGraphBox>(pboxDisco, pboxDisco->pos());
    m_axes = new TGraphBoxAxes(*m_chart, PanelDiscover);
    setChannelRanges(m_ranges);
}

void DiscoveryPage::ConfigureChart()
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

void DiscoveryPage::DestroyChart()
{
    delete m_axes.data();
    m_chart.reset();
}

void DiscoveryPage::setChannelRanges(const DisplayLimits &limits)
{
    m_ranges = limits;
    if (!m_chart)
        return;
    for (int gas = 0; gas < GasCount; ++gas) {
        m_chart->ChannelMin[gas] = limits.Low[gas];
        m_chart->ChannelMax[gas] = limits.High[gas];
    }
}

void DiscoveryPage::SetDiscoverChannel(int channel, int decimals)
{
    if (channel < 0 || channel >= GasCount)
        return;
    labCurrAxis->setText(Captions[channel]);
    if (!m_chart)
        return;
    TGraphBox &c = *m_chart;
    c.LabelDecimals = decimals;
    const float top = c.ChannelMax[channel];
    // The chart refuses an empty or inverted range and keeps its axes; a new
    // scale redraws the grid at once, so the labels and lines agree.
    if (c.SetAxes(c.ChannelMin[channel], top, TimeGridStep, top * ValueGridShare) == 0) {
        c.DrawGrid();
        c.DrawCurves();
        c.Present();
    }
}

void DiscoveryPage::startAfresh()
{
    if (!m_chart)
        return;
    m_chart->Reset();
    // A new recording is drawn from the left edge whatever the chart showed.
    const QSignalBlocker quiet(ScrollBar1);
    ScrollBar1->setValue(0);
    m_chart->ScrollTo(0);
}

void DiscoveryPage::btnDStartClick()
{
    startAfresh();
    m_opros.requestRecordCountReset();
    if (m_chart)
        m_chart->StartTick = m_chart->now();
    if (m_requestReadings)
        m_requestReadings();
    else
        m_opros.RequestOperation(ZMX_get_result, 1, 0);
}

void DiscoveryPage::btnDStopClick()
{
    stopPolling();
}

void DiscoveryPage::ScrollBar1Change(int position)
{
    if (m_chart)
        m_chart->ScrollTo(position);
}

void DiscoveryPage::TimerUpdateDiscoverGraphTimer()
{
    if (!m_chart)
        return;
    ResultRecord record;
    if (!m_opros.takeNewResult(&record))
        return;
    const TGraphBox::Values values { record.gaseCO, record.gaseCH, record.gaseCO2, record.gaseO2,
        record.gaseNOx };
    m_chart->AddPoint(values);
    for (int gas = 0; gas < GasCount; ++gas) {
        const int decimals = gas == GasCount - 1 ? 0 : 2;
        legendValues[gas]->setText(fixedText(values[gas], ValueDigits, decimals));
    }
}

void DiscoveryPage::btnStartDiscoverClick()
{
    if (TimerUpdateDiscoverGraph->isActive()) {
        TimerUpdateDiscoverGraph->stop();
        btnStartDiscover->setText(StartText);
        return;
    }
    startAfresh();
    TimerUpdateDiscoverGraph->start();
    btnStartDiscover->setText(StopText);
}

void DiscoveryPage::enterResearchMode()
{
    startAfresh();
}

void DiscoveryPage::leaveResearchMode()
{
    if (btnStartDiscover)
        btnStartDiscover->setText(StartText);
}

void DiscoveryPage::setStopPolling(std::function<void()> stop)
{
    m_stopPolling = std::move(stop);
}

void DiscoveryPage::setRequestReadings(std::function<void()> request)
{
    m_requestReadings = std::move(request);
}

void DiscoveryPage::setFileDialogs(FileDialogs dialogs)
{
    if (dialogs.saveFileName)
        m_dialogs.saveFileName = std::move(dialogs.saveFileName);
    if (dialogs.openFileName)
        m_dialogs.openFileName = std::move(dialogs.openFileName);
}

void DiscoveryPage::setMessageDisplay(std::function<void(const QString &)> display)
{
    m_messageDisplay = std::move(display);
}

void DiscoveryPage::stopPolling()
{
    if (m_stopPolling)
        m_stopPolling();
    else
        m_opros.StopCycle();
}

void DiscoveryPage::showMessage(const QString &text)
{
    if (m_messageDisplay)
        m_messageDisplay(text);
    else
        MessageBoxes::warning(dialogParent(), text);
}

QWidget *DiscoveryPage::dialogParent() const
{
    return m_page ? m_page->window() : nullptr;
}

QString DiscoveryPage::fileFolder()
{
    const QDir current = QDir::current();
    const QString folder = QLatin1String(MeasurementFile::Folder);
    return current.exists(folder) ? current.absoluteFilePath(folder) : current.absolutePath();
}

MeasurementRecording DiscoveryPage::recordingFromChart() const
{
    MeasurementRecording recording;
    if (m_grid && m_grid->rowCount() > 0
        && m_grid->columnCount() >= MeasurementRecording::ColumnCount) {
        // Row 0 of the grid is the header the file gets.
        for (int column = 0; column < MeasurementRecording::ColumnCount; ++column) {
            if (const QTableWidgetItem *item = m_grid->item(0, column))
                recording.HeaderRow[column] = item->text();
        }
    }
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

void DiscoveryPage::fillGrid(MeasurementRecording recording)
{
    if (!m_grid)
        return;
    const int rows = int(recording.Points.size()) + 1;
    m_grid->setColumnCount(MeasurementRecording::ColumnCount);
    m_grid->setRowCount(rows);
    for (int column = 0; column < MeasurementRecording::ColumnCount; ++column)
        m_grid->setItem(0, column, new QTableWidgetItem(recording.HeaderRow[column]));
    m_gridContent = std::make_shared<const MeasurementRecording>(std::move(recording));
    m_gridRowsDone = 0;
    fillGridSlice();
}

void DiscoveryPage::fillGridSlice()
{
    if (!m_gridContent || !m_grid)
        return;
    const QChar separator = FormatSettings::current().decimalSeparator;
    const std::vector<MeasurementPoint> &points = m_gridContent->Points;
    const int end = std::min(int(points.size()), m_gridRowsDone + GridSliceRows);
    m_grid->setUpdatesEnabled(false);
    for (int n = m_gridRowsDone; n < end; ++n) {
        const MeasurementPoint &point = points[size_t(n)];
        m_grid->setItem(n + 1, 0, new QTableWidgetItem(QString::number(point.TimeMs)));
        for (int gas = 0; gas < GasCount; ++gas)
            m_grid->setItem(n + 1, gas + 1,
                new QTableWidgetItem(generalText(double(point.Values[gas]), separator)));
    }
    m_grid->setUpdatesEnabled(true);
    m_gridRowsDone = end;
    if (m_gridRowsDone >= int(points.size()))
        m_gridContent.reset();
    else
        m_gridTimer->start();
}

void DiscoveryPage::loadIntoChart(const MeasurementRecording &recording)
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
    const QSignalBlocker quiet(ScrollBar1);
    ScrollBar1->setValue(0);
    c.ScrollTo(0);
}

void DiscoveryPage::NSaveAsClick()
{
    // File names and the dates written from now on use "yyyy-mm-dd" and "hh-nn-ss".
    FormatSettings::setShortDateFormat(QStringLiteral("yyyy/mm/dd"));
    FormatSettings::setDateSeparator(QLatin1Char('-'));
    FormatSettings::setTimeSeparator(QLatin1Char('-'));
    stopPolling();
    std::this_thread::sleep_for(WaitAfterStop);

    const QString proposed
        = MeasurementFile::proposedName(QDateTime::currentDateTime(), FormatSettings::current());
    const QString path = m_dialogs.saveFileName(dialogParent(), fileFolder(), proposed);
    if (path.isEmpty())
        return;

    MeasurementRecording recording = recordingFromChart();
    if (Label28)
        Label28->setText(
            QString::number(recording.Points.empty() ? 0 : recording.Points.back().TimeMs));

    QString error;
    const bool saved = MeasurementFile::save(
        path, recording, FormatSettings::current().decimalSeparator, &error);
    fillGrid(std::move(recording));
    if (!saved) {
        showMessage(
            QStringLiteral("Файл %1 не сохранён: %2").arg(QDir::toNativeSeparators(path), error));
    }
}

void DiscoveryPage::NOpenClick()
{
    stopPolling();
    const QString path = m_dialogs.openFileName(dialogParent(), fileFolder());
    if (path.isEmpty())
        return;

    // The whole file is read before anything changes: a file that is not a
    // recording leaves the chart and the grid as they were.
    MeasurementReadResult result = MeasurementFile::load(
        path, FormatSettings::current().decimalSeparator, TGraphBox::Capacity);
    if (!result.Ok) {
        showMessage(QStringLiteral("Файл %1 не открыт, это не запись измерений.\n%2.")
                        .arg(QDir::toNativeSeparators(path), result.Error));
        return;
    }
    if (m_chart)
        loadIntoChart(result.Recording);
    const bool cut = result.PointsInFile > qint64(result.Recording.Points.size());
    fillGrid(std::move(result.Recording));
    QStringList notes;
    if (result.LeftOutLine > 0) {
        notes << QStringLiteral("Последняя строка файла %1 (строка %2) неполная, запись на ней "
                                "оборвалась: эта строка не загружена.")
                     .arg(QDir::toNativeSeparators(path))
                     .arg(result.LeftOutLine);
    }
    if (cut) {
        notes << QStringLiteral("В файле %1 точек, график вмещает %2: показаны первые %2.")
                     .arg(result.PointsInFile)
                     .arg(TGraphBox::Capacity);
    }
    if (!notes.isEmpty())
        showMessage(notes.join(QLatin1Char('\n')));
}
