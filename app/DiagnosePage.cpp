#include "app/DiagnosePage.h"

#include "graphs/ui/ReadoutFont.h"
#include "graphs/ui/TfrGraph.h"
#include "graphs/ui/TfrGraphG.h"

#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

// The page is never taller than the window; the panels reach its bottom.
constexpr int PageHeight = 768;

// Side panel and its groups.
constexpr int PanelWidth = 226;
constexpr int GroupLeft = 6;
constexpr int GroupWidth = PanelWidth - 2 * GroupLeft;
constexpr int OperationsTop = 6, OperationsHeight = 300;
constexpr int VehicleTop = 312, VehicleHeight = 112;
constexpr int InstrumentTop = 430, InstrumentHeight = 146;
constexpr int ObdTop = 582, ObdHeight = PageHeight - ObdTop - 6;
constexpr int StepTop = 24, StepPitch = 44, StepHeight = 36, ShapeLeft = 30, ShapeWidth = 174;
// Values stand clear of their longest caption, "Время прогрева:".
constexpr int ValueLeft = 128;

// Right-hand side: five bars across the top, then three display rows.
constexpr int GraphsLeft = 232, GraphsTop = 4, GraphGap = 3;
constexpr int RowsTop = 434, RowPitch = 88;
constexpr int NameLeft = 240, NameWidth = 64;
constexpr int ReadoutLeft = 306, ReadoutWidth = 226, ReadoutHeight = 62, ReadoutPixelSize = 44;
constexpr int GaugeLeft = 552, GaugeTopOffset = 6, ScaleTopOffset = 50, ScaleWidth = 110;
constexpr int StatusTop = RowsTop + 3 * RowPitch - 2;

const char *const Silver = "rgb(192, 192, 192)";

const char *const SidePanelStyle = "QFrame#PanelMeasure { background: rgb(32, 28, 26); }"
                                   "QGroupBox { color: rgb(192, 192, 192); font-weight: bold;"
                                   " border: 1px solid rgb(90, 90, 90); margin-top: 8px; }"
                                   "QGroupBox::title { subcontrol-origin: margin; left: 8px; }"
                                   "QLabel { color: rgb(192, 192, 192); }"
                                   "QLineEdit { background: black; color: lime;"
                                   " border: 1px solid rgb(90, 90, 90); }"
                                   "QProgressBar { background: black;"
                                   " border: 1px solid rgb(192, 192, 192); }"
                                   "QProgressBar::chunk { background: lime; }";

QLabel *makeLabel(
    QWidget *parent, const QString &text, const QRect &geometry, const char *name = nullptr)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

DiagnosePage::DiagnosePage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("tabDiagnose"));
    PanelDiagnose = new QFrame(this);
    PanelDiagnose->setObjectName(QStringLiteral("PanelDiagnose"));
    PanelDiagnose->setAutoFillBackground(true);
    PanelDiagnose->setGeometry(0, 0, 1024, PageHeight);

    buildSidePanel();
    buildGraphs();
    buildDisplays();
    buildStatusLine();
}

EmissionProcedureControls DiagnosePage::emissionControls() const
{
    EmissionProcedureControls c;
    c.btnZero = btnZero;
    c.btnMinRatio = btnMinRatio;
    c.btnMaxRatio = btnMaxRatio;
    c.btnReport = btnReport;
    c.ShapeZero = ShapeZero;
    c.ShapeMinRatio = ShapeMinRatio;
    c.ShapeMaxRatio = ShapeMaxRatio;
    c.Shape8 = Shape8;
    c.btnObd = btnObd;
    c.ShapeObd = ShapeObd;
    c.labObdDiagnosis = labObdDiagnosis;
    c.OKZero = OKZero;
    c.OKMinRatio = OKMinRatio;
    c.OKMaxRatio = OKMaxRatio;
    c.OKReport = OKReport;
    c.MainProgress = MainProgress;
    c.edModel = edModel;
    c.edGosNum = edGosNum;
    c.labZMStatus = labZMStatus;
    return c;
}

void DiagnosePage::setBlackBackground()
{
    QPalette palette = PanelDiagnose->palette();
    palette.setColor(QPalette::Window, Qt::black);
    PanelDiagnose->setPalette(palette);
}

void DiagnosePage::buildSidePanel()
{
    PanelMeasure = new QFrame(PanelDiagnose);
    PanelMeasure->setObjectName(QStringLiteral("PanelMeasure"));
    PanelMeasure->setGeometry(0, 0, PanelWidth, PageHeight);
    PanelMeasure->setStyleSheet(QString::fromLatin1(SidePanelStyle));

    buildOperations();
    buildVehicle();
    buildInstrument();
    buildObd();

    // Spare fields for intermediate figures of a measurement, present under
    // their names and hidden; nothing in the program uses them yet.
    edOK = new QLineEdit(PanelMeasure);
    edOK->setObjectName(QStringLiteral("edOK"));
    edD = new QLineEdit(PanelMeasure);
    edD->setObjectName(QStringLiteral("edD"));
    edReal = new QLineEdit(PanelMeasure);
    edReal->setObjectName(QStringLiteral("edReal"));
    Button3 = new QPushButton(QStringLiteral("Button3"), PanelMeasure);
    Button3->setObjectName(QStringLiteral("Button3"));
    for (QWidget *unused : { static_cast<QWidget *>(edOK), static_cast<QWidget *>(edD),
             static_cast<QWidget *>(edReal), static_cast<QWidget *>(Button3) })
        unused->hide();
}

void DiagnosePage::buildOperations()
{
    GroupOperations = new QGroupBox(QStringLiteral("Операции"), PanelMeasure);
    GroupOperations->setObjectName(QStringLiteral("GroupOperations"));
    GroupOperations->setGeometry(GroupLeft, OperationsTop, GroupWidth, OperationsHeight);

    struct Step
    {
        QPushButton **button;
        QFrame **shape;
        QLabel **mark;
        const char *buttonName, *shapeName, *markName;
        QString caption;
    };
    const Step steps[] = {
        { &btnZero, &ShapeZero, &OKZero, "btnZero", "ShapeZero", "OKZero",
            QStringLiteral("F1 - Кор. нуля        ") },
        { &btnMinRatio, &ShapeMinRatio, &OKMinRatio, "btnMinRatio", "ShapeMinRatio", "OKMinRatio",
            QStringLiteral("F2 - Мин. обороты  ") },
        { &btnMaxRatio, &ShapeMaxRatio, &OKMaxRatio, "btnMaxRatio", "ShapeMaxRatio", "OKMaxRatio",
            QStringLiteral("F3 - Пов. обороты   ") },
        { &btnReport, &Shape8, &OKReport, "btnReport", "Shape8", "OKReport",
            QStringLiteral("F4 - Отчёт            ") },
        { &btnObd, &ShapeObd, nullptr, "btnObd", "ShapeObd", nullptr,
            QStringLiteral("F5 - Диагн. OBD    ") },
    };
    constexpr int StepCount = int(std::size(steps));
    QFont buttonFont = font();
    buttonFont.setBold(true);
    buttonFont.setPixelSize(14);
    for (int i = 0; i < StepCount; ++i) {
        const Step &step = steps[i];
        const int top = StepTop + i * StepPitch;
        QFrame *shape = new QFrame(GroupOperations);
        shape->setObjectName(QString::fromLatin1(step.shapeName));
        shape->setGeometry(ShapeLeft, top, ShapeWidth, StepHeight);
        shape->setStyleSheet(
            QStringLiteral("background: rgb(10, 50, 5); border: 1px solid silver;"));
        *step.shape = shape;

        // A flat button over its rectangle: the rectangle gives the colour.
        QPushButton *button = new QPushButton(step.caption, GroupOperations);
        button->setObjectName(QString::fromLatin1(step.buttonName));
        button->setFlat(true);
        button->setFont(buttonFont);
        button->setFocusPolicy(Qt::TabFocus);
        button->setGeometry(ShapeLeft + 2, top + 2, ShapeWidth - 4, StepHeight - 4);
        button->setStyleSheet(QStringLiteral(
            "QPushButton { background: transparent; border: none; color: lime; text-align: left;"
            " padding-left: 8px; }"));
        *step.button = button;

        if (!step.mark)
            continue;
        QLabel *mark = makeLabel(
            GroupOperations, QStringLiteral("✔"), QRect(8, top + 8, 20, 20), step.markName);
        mark->setStyleSheet(QStringLiteral("color: lime; font-weight: bold; font-size: 16px;"));
        mark->hide();
        *step.mark = mark;
    }

    const int progressTop = StepTop + StepCount * StepPitch - 6;
    QLabel *caption = makeLabel(GroupOperations, QStringLiteral("прогресс операции:"),
        QRect(10, progressTop, 190, 18), "labProgress");
    MainProgress = new QProgressBar(GroupOperations);
    MainProgress->setObjectName(QStringLiteral("MainProgress"));
    MainProgress->setGeometry(10, progressTop + 20, GroupWidth - 20, 18);
    MainProgress->setTextVisible(false);
    MainProgress->setRange(0, 100);
    MainProgress->setValue(0);
    caption->setBuddy(MainProgress);
}

void DiagnosePage::buildVehicle()
{
    GroupVehicle = new QGroupBox(QStringLiteral("Автомобиль"), PanelMeasure);
    GroupVehicle->setObjectName(QStringLiteral("GroupVehicle"));
    GroupVehicle->setGeometry(GroupLeft, VehicleTop, GroupWidth, VehicleHeight);

    auto addEdit = [this](const QString &caption, const char *name, int top) {
        QLabel *label = makeLabel(GroupVehicle, caption, QRect(10, top, 190, 18));
        auto *edit = new QLineEdit(GroupVehicle);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setReadOnly(true);
        edit->setGeometry(10, top + 19, GroupWidth - 20, 24);
        label->setBuddy(edit);
        return edit;
    };
    edModel = addEdit(QStringLiteral("Модель:"), "edModel", 20);
    edGosNum = addEdit(QStringLiteral("Гос. номер:"), "edGosNum", 66);
}

void DiagnosePage::buildInstrument()
{
    GroupZelmor = new QGroupBox(QStringLiteral("Zelmor"), PanelMeasure);
    GroupZelmor->setObjectName(QStringLiteral("GroupZelmor"));
    GroupZelmor->setGeometry(GroupLeft, InstrumentTop, GroupWidth, InstrumentHeight);

    const int valueWidth = GroupWidth - ValueLeft - 8;
    labTimeName = makeLabel(GroupZelmor, QStringLiteral("Время работы:"),
        QRect(10, 24, ValueLeft - 12, 20), "labTimeName");
    labWorkTime = makeLabel(GroupZelmor, QStringLiteral("00:00:00"),
        QRect(ValueLeft, 24, valueWidth, 20), "labWorkTime");
    labTimeName->setBuddy(labWorkTime);

    auto addValue = [&](const QString &caption, const char *name, int top) {
        QLabel *value = makeLabel(
            GroupZelmor, QStringLiteral("0"), QRect(ValueLeft, top, valueWidth, 20), name);
        QLabel *label = makeLabel(GroupZelmor, caption, QRect(10, top, ValueLeft - 12, 20));
        label->setBuddy(value);
        return value;
    };
    labPressure = addValue(QStringLiteral("Давление, Hg:"), "labPressure", 54);
    labTermF = addValue(QStringLiteral("Тф, С:"), "labTermF", 84);
    labTermQ = addValue(QStringLiteral("Тк, С:"), "labTermQ", 114);
    for (QLabel *value : { labWorkTime, labPressure, labTermF, labTermQ })
        value->setStyleSheet(QStringLiteral("color: lime; font-weight: bold;"));
}

void DiagnosePage::buildObd()
{
    GroupObd = new QGroupBox(QStringLiteral("Бортовая диагностика"), PanelMeasure);
    GroupObd->setObjectName(QStringLiteral("GroupObd"));
    GroupObd->setGeometry(GroupLeft, ObdTop, GroupWidth, ObdHeight);
    labObdDiagnosis = makeLabel(
        GroupObd, QString(), QRect(8, 20, GroupWidth - 16, ObdHeight - 26), "labObdDiagnosis");
    // What the vehicle says comes from outside: never markup.
    labObdDiagnosis->setTextFormat(Qt::PlainText);
    labObdDiagnosis->setWordWrap(true);
    labObdDiagnosis->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    labObdDiagnosis->setStyleSheet(QStringLiteral("color: lime;"));
}

void DiagnosePage::buildGraphs()
{
    for (int i = 0; i < 5; ++i) {
        auto *frame = new TfrGraph(PanelDiagnose);
        frame->setObjectName(QStringLiteral("frGraph%1").arg(i + 1));
        frame->setGeometry(GraphsLeft + i * (TfrGraph::FrameWidth + GraphGap), GraphsTop,
            TfrGraph::FrameWidth, TfrGraph::FrameHeight);
        frame->setGas(i);
        frGraph[size_t(i)] = frame;
    }

    panPropan = new QFrame(PanelDiagnose);
    panPropan->setObjectName(QStringLiteral("panPropan"));
    panPropan->setGeometry(GraphsLeft + 4, RowsTop - 28, 36, 22);
    panPropan->setStyleSheet(
        QStringLiteral("background: rgb(10, 50, 5); border: 1px solid silver;"));
    QLabel *pr = makeLabel(panPropan, QStringLiteral("Pr"), QRect(0, 0, 36, 22), "labPropan");
    pr->setAlignment(Qt::AlignCenter);
    pr->setStyleSheet(QStringLiteral("color: lime; font-weight: bold; border: none;"));
    panPropan->hide();
}

void DiagnosePage::buildDisplays()
{
    struct Row
    {
        QLabel **readout, **below, **centre, **above;
        const char *name;
        QString caption;
        QLabel **source;
    };
    const Row rows[] = {
        { &labTax, &labTax1, &labTax2, &labTax3, "labTax", QStringLiteral("Tах"), &labTaxSource },
        { &labTm, &labTm1, &labTm2, &labTm3, "labTm", QStringLiteral("Тм"), &labTmSource },
        { &labLambda, &labLambda1, &labLambda2, &labLambda3, "labLambda", QStringLiteral("λ"),
            nullptr },
    };
    QFont nameFont = font();
    nameFont.setPixelSize(34);
    nameFont.setBold(true);
    const QString scaleStyle = QStringLiteral("color: rgb(255, 238, 198); font-weight: bold;");

    for (int r = 0; r < 3; ++r) {
        const Row &row = rows[r];
        const int top = RowsTop + r * RowPitch;

        auto *readout = makeLabel(PanelDiagnose, QStringLiteral("0"),
            QRect(ReadoutLeft, top, ReadoutWidth, ReadoutHeight), row.name);
        readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        readout->setFont(readoutFont(ReadoutPixelSize));
        readout->setStyleSheet(
            QStringLiteral("color: lime; background: black; border: 1px solid rgb(255, 238, 198);"
                           " padding-right: 6px;"));
        *row.readout = readout;

        QLabel *name
            = makeLabel(PanelDiagnose, row.caption, QRect(NameLeft, top + 2, NameWidth, 44));
        name->setObjectName(QString::fromLatin1(row.name) + QStringLiteral("Name"));
        name->setFont(nameFont);
        name->setStyleSheet(QStringLiteral("color: yellow;"));
        name->setBuddy(readout);
        if (row.source) {
            // Under the name: where the value comes from, when not the instrument.
            QLabel *source = makeLabel(PanelDiagnose, QStringLiteral("OBD"),
                QRect(NameLeft, top + 44, NameWidth - 4, 18),
                (QString::fromLatin1(row.name) + QStringLiteral("Source")).toLatin1().constData());
            source->setAlignment(Qt::AlignCenter);
            source->setStyleSheet(
                QStringLiteral("color: black; background: rgb(255, 238, 198); font-weight: bold;"));
            source->setToolTip(QStringLiteral("значение от бортового компьютера автомобиля"));
            source->hide();
            *row.source = source;
        }

        auto *gauge = new TfrGraphG(PanelDiagnose);
        gauge->setObjectName(QStringLiteral("frGraphG%1").arg(r + 1));
        gauge->setGeometry(
            GaugeLeft, top + GaugeTopOffset, TfrGraphG::FrameWidth, TfrGraphG::FrameHeight);
        frGraphG[size_t(r)] = gauge;

        const int scaleTop = top + ScaleTopOffset;
        const QString base = QString::fromLatin1(row.name);
        *row.below
            = makeLabel(PanelDiagnose, QString(), QRect(GaugeLeft, scaleTop, ScaleWidth, 18));
        (*row.below)->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        *row.centre = makeLabel(PanelDiagnose, QString(),
            QRect(GaugeLeft + (TfrGraphG::FrameWidth - ScaleWidth) / 2, scaleTop, ScaleWidth, 18));
        (*row.centre)->setAlignment(Qt::AlignCenter);
        *row.above = makeLabel(PanelDiagnose, QString(),
            QRect(GaugeLeft + TfrGraphG::FrameWidth - ScaleWidth, scaleTop, ScaleWidth, 18));
        (*row.above)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QLabel *const scales[] = { *row.below, *row.centre, *row.above };
        for (int k = 0; k < 3; ++k) {
            scales[k]->setObjectName(base + QString::number(k + 1));
            scales[k]->setStyleSheet(scaleStyle);
        }
    }
}

void DiagnosePage::buildStatusLine()
{
    QLabel *caption = makeLabel(PanelDiagnose, QStringLiteral("Статус:"),
        QRect(GraphsLeft + 8, StatusTop, 64, 20), "labStatusCaption");
    caption->setStyleSheet(QStringLiteral("color: rgb(192, 192, 192); font-weight: bold;"));
    labZMStatus = makeLabel(PanelDiagnose, QString(),
        QRect(GraphsLeft + 76, StatusTop, 1024 - GraphsLeft - 84, 20), "labZMStatus");
    labZMStatus->setTextFormat(Qt::PlainText); // names the port: typed data, never markup
    labZMStatus->setStyleSheet(
        QString::fromLatin1("color: %1; font-weight: bold;").arg(QLatin1String(Silver)));
    caption->setBuddy(labZMStatus);
}
