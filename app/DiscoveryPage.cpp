#include "app/DiscoveryPage.h"

#include "app/RecordingGrid.h"
#include "graphs/ui/GraphPaintBox.h"
#include "graphs/ui/TGraphBoxAxes.h"
#include "widgets/MessageBoxes.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

namespace {

const QString LimeCss = QStringLiteral("#00ff00");
const QString CreamCss = QStringLiteral("#fffbf0");
const QString ButtonCss = QStringLiteral(
    "QPushButton { color: #00ff00; background: rgb(10, 50, 5); border: none; font-weight: bold; }"
    "QPushButton:pressed { background: rgb(20, 90, 10); }");

const std::array<const char *, DiscoveryPage::GasCount> LabelNames { "labDCO", "labDCH", "labDCO2",
    "labDO2", "labDNOx" };
const std::array<const char *, DiscoveryPage::GasCount> SwatchNames { "Shape7", "Shape11",
    "Shape12", "Shape13", "Shape14" };

const QString NoValueText = QStringLiteral("-.--");
const QString StartText = QStringLiteral("Старт");
const QString StopText = QStringLiteral("Стоп");

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
    , m_recording(ResearchRecording::Link::to(opros))
    , m_page(widgets.tabDiscovery)
    , m_dialogs { &defaultSaveFileName, &defaultOpenFileName }
{
    setObjectName(QStringLiteral("DiscoveryPage"));
    labDStatus = widgets.labDStatus;
    buildPage(widgets.tabDiscovery);
    buildDataPageControls(widgets.TabSheet3);
    m_grid = new RecordingGrid(widgets.grData, this);

    TimerUpdateDiscoverGraph = new QTimer(this);
    TimerUpdateDiscoverGraph->setObjectName(QStringLiteral("TimerUpdateDiscoverGraph"));
    TimerUpdateDiscoverGraph->setInterval(FeedIntervalMs);
    connect(TimerUpdateDiscoverGraph, &QTimer::timeout, this,
        &DiscoveryPage::TimerUpdateDiscoverGraphTimer);
    TimerUpdateDiscoverGraph->start();
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
    labCurrAxis = makeLabel(panel, "labCurrAxis", ResearchRecording::caption(0), AxisNameRect);
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
        QLabel *label = makeLabel(GroupBox6, LabelNames[gas], ResearchRecording::caption(gas),
            QRect(left, 10, width, 22));
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
        const quint32 c = ResearchRecording::GasColours[size_t(gas)];
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
                SetDiscoverChannel(gas, ResearchRecording::AxisDecimals[size_t(gas)]);
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
    TGraphBox &chart = m_recording.createChart(pboxDisco, pboxDisco->pos());
    m_axes = new TGraphBoxAxes(chart, PanelDiscover);
}

void DiscoveryPage::ConfigureChart()
{
    m_recording.configureChart();
}

void DiscoveryPage::DestroyChart()
{
    delete m_axes.data();
    m_recording.destroyChart();
}

void DiscoveryPage::SetDiscoverChannel(int channel, int decimals)
{
    if (channel < 0 || channel >= GasCount)
        return;
    labCurrAxis->setText(ResearchRecording::caption(channel));
    m_recording.chooseAxis(channel, decimals);
}

void DiscoveryPage::scrollBarToStart()
{
    const QSignalBlocker quiet(ScrollBar1);
    ScrollBar1->setValue(0);
}

void DiscoveryPage::startAfresh()
{
    if (!chart())
        return;
    scrollBarToStart();
    m_recording.startAfresh();
}

void DiscoveryPage::btnDStartClick()
{
    if (chart())
        scrollBarToStart();
    m_recording.start();
}

void DiscoveryPage::btnDStopClick()
{
    m_recording.stop();
}

void DiscoveryPage::ScrollBar1Change(int position)
{
    m_recording.scrollTo(position);
}

void DiscoveryPage::TimerUpdateDiscoverGraphTimer()
{
    const auto legend = m_recording.feed();
    if (!legend)
        return;
    for (int gas = 0; gas < GasCount; ++gas)
        legendValues[gas]->setText((*legend)[size_t(gas)]);
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
    m_recording.setStopPolling(std::move(stop));
}

void DiscoveryPage::setRequestReadings(std::function<void()> request)
{
    m_recording.setRequestReadings(std::move(request));
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

bool DiscoveryPage::isGridComplete() const
{
    return m_grid->isComplete();
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

void DiscoveryPage::NSaveAsClick()
{
    const QString proposed = m_recording.prepareSave();
    const QString path
        = m_dialogs.saveFileName(dialogParent(), ResearchRecording::fileFolder(), proposed);
    if (path.isEmpty())
        return;
    ResearchRecording::Saved saved = m_recording.save(path, m_grid->header());
    if (Label28)
        Label28->setText(QString::number(saved.lengthMs));
    m_grid->show(std::move(saved.recording));
    if (!saved.error.isEmpty())
        showMessage(saved.error);
}

void DiscoveryPage::NOpenClick()
{
    m_recording.stop();
    const QString path = m_dialogs.openFileName(dialogParent(), ResearchRecording::fileFolder());
    if (path.isEmpty())
        return;
    ResearchRecording::Opened opened = m_recording.open(path);
    if (opened.loaded) {
        if (chart())
            scrollBarToStart();
        m_grid->show(std::move(opened.recording));
    }
    if (!opened.message.isEmpty())
        showMessage(opened.message);
}
