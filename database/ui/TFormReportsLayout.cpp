#include "database/ui/TFormReports.h"

#include "database/ui/ReportListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

// The report browser's window: the filter on the left, the shown report with
// its limits on the right, the commands below.

namespace {

constexpr int ClientWidth = 978;
// Under the conclusion, the vehicle's own diagnosis takes up to six lines
// of a smaller font.
constexpr int DiagnosisHeight = 96;
constexpr int DiagnosisFontPixels = 12;
constexpr int ClientHeight = 634 + DiagnosisHeight;
constexpr int ButtonsTop = 600 + DiagnosisHeight;
constexpr int FontPixels = 13;
constexpr int LargeFontPixels = 16;
constexpr int ListColumnWidth = 92;
constexpr int EditWidth = 65;
constexpr int EditHeight = 24;
constexpr int ColumnLeft0 = 152;
constexpr int ColumnStep = 64;
const QDate InitialFilterDate(2007, 2, 20);
const QColor Silver(0xC0, 0xC0, 0xC0);
const char *const Headings[8]
    = { "Об/мин", "Об/мин +/-", "CO, %", "CH, ppm", "CO2, %", "O2, %", "NOx, ppm", "λ" };

QFont largeFont(const QFont &base)
{
    QFont f = base;
    f.setPixelSize(LargeFontPixels);
    return f;
}

QLabel *label(QWidget *parent, const QString &name, const QString &text, int left, int top)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

void TFormReports::buildLayout()
{
    setObjectName(QStringLiteral("FormReports"));
    setWindowTitle(QStringLiteral("База данных измерений"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(FontPixels);
    setFont(f);

    auto *filter = new QGroupBox(QStringLiteral("Фильтр"), this);
    filter->setObjectName(QStringLiteral("GroupBoxFilter"));
    filter->setGeometry(8, 8, 249, 617 + DiagnosisHeight);

    cboxFilterDate = new QCheckBox(QStringLiteral("Дата:"), filter);
    cboxFilterDate->setObjectName(QStringLiteral("cboxFilterDate"));
    cboxFilterDate->move(16, 28);
    FilterDate = new QDateEdit(InitialFilterDate, filter);
    FilterDate->setObjectName(QStringLiteral("FilterDate"));
    FilterDate->setGeometry(112, 24, 121, 24);
    FilterDate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    FilterDate->setCalendarPopup(true);
    FilterDate->setEnabled(false);

    cboxFilterModel = new QCheckBox(QStringLiteral("Модель:"), filter);
    cboxFilterModel->setObjectName(QStringLiteral("cboxFilterModel"));
    cboxFilterModel->move(16, 68);
    FilterModel = new QComboBox(filter);
    FilterModel->setObjectName(QStringLiteral("FilterModel"));
    FilterModel->setGeometry(112, 64, 121, 24);
    FilterModel->setEnabled(false);

    cboxFilterGosNum = new QCheckBox(QStringLiteral("Гос. номер:"), filter);
    cboxFilterGosNum->setObjectName(QStringLiteral("cboxFilterGosNum"));
    cboxFilterGosNum->move(16, 108);
    FilterGosNum = new QLineEdit(filter);
    FilterGosNum->setObjectName(QStringLiteral("FilterGosNum"));
    FilterGosNum->setGeometry(112, 104, 121, 24);
    FilterGosNum->setEnabled(false);
    // The captions end before the filter controls at 112.
    for (QCheckBox *box : { cboxFilterDate, cboxFilterModel, cboxFilterGosNum }) {
        box->setStyleSheet(QStringLiteral("QCheckBox { spacing: 3px; }"));
        box->adjustSize();
        box->setFixedWidth(qMin(box->width(), 112 - 16 - 2));
    }

    QLabel *resultLabel
        = label(filter, QStringLiteral("Label17"), QStringLiteral("Результат поиска:"), 16, 152);
    FilterResult = new QTableView(filter);
    FilterResult->setObjectName(QStringLiteral("FilterResult"));
    FilterResult->setGeometry(16, 176, 217, 425 + DiagnosisHeight);
    FilterResult->setModel(m_list);
    FilterResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FilterResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    FilterResult->setSelectionMode(QAbstractItemView::SingleSelection);
    FilterResult->setShowGrid(true);
    FilterResult->verticalHeader()->setFixedWidth(12);
    FilterResult->verticalHeader()->setDefaultSectionSize(20);
    FilterResult->horizontalHeader()->setFont(largeFont(font()));
    FilterResult->setColumnWidth(ReportListModel::Column0, ListColumnWidth);
    FilterResult->setColumnWidth(ReportListModel::Column1, ListColumnWidth);
    FilterResult->setColumnHidden(ReportListModel::IndexColumn, true);
    FilterResult->setColumnHidden(ReportListModel::ModelColumn, true);
    resultLabel->setBuddy(FilterResult);
    // The shown report follows the list's current row, however it moved, so
    // delete and print act on the report the operator sees.
    connect(FilterResult->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this] { ShowSelectedReport(); });

    // The shown report's heading.
    const struct
    {
        const char *caption;
        QLabel **value;
        const char *name;
        int top;
    } heads[] = { { "Автомобиль:", &labModel, "labModel", 16 },
        { "Гос. номер:", &labGosNum, "labGosNum", 48 }, { "Дата:", &labDate, "labDate", 80 } };
    for (const auto &h : heads) {
        auto *caption = new QLabel(QString::fromUtf8(h.caption), this);
        caption->setFont(largeFont(font()));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        caption->setGeometry(272, h.top, 120, 22);
        auto *value = new QLabel(QStringLiteral("---"), this);
        value->setObjectName(QLatin1String(h.name));
        value->setTextFormat(Qt::PlainText); // typed data, never markup
        value->setFont(largeFont(font()));
        // The number leaves room for the control code beside it, the date
        // for the verification's notice.
        value->setGeometry(424, h.top,
            h.value == &labModel        ? 540
                : h.value == &labGosNum ? 176
                                        : 236,
            22);
        caption->setObjectName(QLatin1String(h.name) + QStringLiteral("Caption"));
        caption->setBuddy(value);
        *h.value = value;
    }

    auto *limits = new QGroupBox(QStringLiteral("Порог ограничения выхлопа"), this);
    limits->setObjectName(QStringLiteral("GroupBox1"));
    limits->setGeometry(272, 128, 697, 457 + DiagnosisHeight);
    buildBlock(limits, 32, QStringLiteral("Минимальные обороты:"), 0);
    buildBlock(limits, 240, QStringLiteral("Повышенные обороты:"), 1);
    buildJudgementLabels(limits);

    btnDelete = new QPushButton(QStringLiteral("Удалить"), this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnDelete->setGeometry(648, ButtonsTop, 89, 25);
    Button1 = new QPushButton(QStringLiteral("Печать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(760, ButtonsTop, 89, 25);
    btnPdf = new QPushButton(QStringLiteral("PDF..."), this);
    btnPdf->setObjectName(QStringLiteral("btnPdf"));
    btnPdf->setGeometry(536, ButtonsTop, 89, 25);
    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(872, ButtonsTop, 91, 25);
    // The whole list's commands stand apart from those of the shown report.
    btnExport = new QPushButton(QStringLiteral("Экспорт..."), this);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    btnExport->setGeometry(272, ButtonsTop, 86, 25);
    btnExport->setToolTip(QStringLiteral("Записать найденные отчёты в файл CSV"));
    btnVerify = new QPushButton(QStringLiteral("Проверить"), this);
    btnVerify->setObjectName(QStringLiteral("btnVerify"));
    btnVerify->setGeometry(364, ButtonsTop, 88, 25);
    btnVerify->setToolTip(QStringLiteral("Проверить, что сохранённые результаты не изменялись"));
    btnCheckCode = new QPushButton(QStringLiteral("Код..."), this);
    btnCheckCode->setObjectName(QStringLiteral("btnCheckCode"));
    btnCheckCode->setGeometry(458, ButtonsTop, 70, 25);
    btnCheckCode->setToolTip(
        QStringLiteral("Сверить контрольный код с бумажного протокола с сохранённой записью"));
    // Enter belongs to the number filter; it must never press "Удалить".
    for (QPushButton *b :
        { btnPdf, btnDelete, Button1, btnClose, btnExport, btnVerify, btnCheckCode })
        b->setAutoDefault(false);

    // Over the empty list: why it is empty when the search failed.
    labEmptyReason = new QLabel(filter);
    labEmptyReason->setObjectName(QStringLiteral("labEmptyReason"));
    labEmptyReason->setGeometry(24, 220, 201, 200);
    labEmptyReason->setWordWrap(true);
    labEmptyReason->setTextFormat(Qt::PlainText);
    labEmptyReason->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labEmptyReason->setStyleSheet(QStringLiteral("color: #C00000"));
    labEmptyReason->hide();
}

void TFormReports::buildBlock(QWidget *group, int top, const QString &caption, int block)
{
    const QString suffix = QString::number(block + 1);
    auto *title = new QLabel(caption, group);
    title->setObjectName(QStringLiteral("labBlock") + suffix);
    QFont tf = largeFont(font());
    tf.setBold(true);
    tf.setItalic(true);
    title->setFont(tf);
    title->setAutoFillBackground(true);
    QPalette pal = title->palette();
    pal.setColor(QPalette::Window, Silver);
    title->setPalette(pal);
    title->setGeometry(16, top, 665, 24);

    const int headingTop = top + 32; // two lines, ending just above the edits
    const int limitTop = top + 72;
    const int measuredTop = top + 120;
    for (int col = 0; col < 8; ++col) {
        auto *heading = new QLabel(QString::fromUtf8(Headings[col]), group);
        heading->setObjectName(QStringLiteral("labHeading%1_%2").arg(suffix).arg(col + 1));
        if (col == 7)
            heading->setFont(largeFont(font()));
        // Each heading keeps to its column; a long one takes a second line.
        heading->setWordWrap(true);
        heading->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        heading->setGeometry(ColumnLeft0 + col * ColumnStep, headingTop, ColumnStep - 2, 38);

        auto *limit = new QLineEdit(group);
        auto *measured = new QLineEdit(group);
        limit->setObjectName(QStringLiteral("edLimit%1_%2").arg(suffix).arg(col + 1));
        measured->setObjectName(QStringLiteral("edMeasured%1_%2").arg(suffix).arg(col + 1));
        for (QLineEdit *e : { limit, measured }) {
            e->setReadOnly(true);
            e->setFont(largeFont(font()));
        }
        limit->setGeometry(ColumnLeft0 + col * ColumnStep, limitTop, EditWidth, EditHeight);
        measured->setGeometry(ColumnLeft0 + col * ColumnStep, measuredTop, EditWidth, EditHeight);
        limitEdits[block][col] = limit;
        measuredEdits[block][col] = measured;
    }
    auto *limitCaption = new QLabel(QStringLiteral("Допуск:"), group);
    auto *measuredCaption = new QLabel(QStringLiteral("Измерено:"), group);
    limitCaption->setObjectName(QStringLiteral("labLimit") + suffix);
    measuredCaption->setObjectName(QStringLiteral("labMeasured") + suffix);
    for (QLabel *l : { limitCaption, measuredCaption }) {
        l->setFont(largeFont(font()));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    limitCaption->setGeometry(16, limitTop, 124, EditHeight);
    measuredCaption->setGeometry(16, measuredTop, 124, EditHeight);
    limitCaption->setBuddy(limitEdits[block][0]);
    measuredCaption->setBuddy(measuredEdits[block][0]);
}

void TFormReports::buildJudgementLabels(QWidget *group)
{
    const auto note
        = [](QWidget *parent, const char *name, const QRect &place, const QString &style) {
              auto *l = new QLabel(parent);
              l->setObjectName(QLatin1String(name));
              l->setTextFormat(Qt::PlainText);
              l->setGeometry(place);
              l->setStyleSheet(style);
              return l;
          };
    // Under each step's measured row: a speed outside its window.
    for (int block = 0; block < 2; ++block)
        labStepStatus[block] = note(group, block ? "labStepStatus2" : "labStepStatus1",
            QRect(ColumnLeft0, (block ? 240 : 32) + 148, 520, 20),
            QStringLiteral("color: #A05000; font-weight: bold"));
    labConclusion = note(
        group, "labConclusion", QRect(16, 410, 665, 40), QStringLiteral("font-weight: bold"));
    labConclusion->setWordWrap(true);
    labConclusion->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Under the conclusion: the vehicle's own diagnosis and, when they came
    // from its computer, where the engine speeds came from.
    labObdDiagnosis
        = note(group, "labObdDiagnosis", QRect(16, 450, 665, DiagnosisHeight), QString());
    QFont diagnosisFont = font();
    diagnosisFont.setPixelSize(DiagnosisFontPixels);
    labObdDiagnosis->setFont(diagnosisFont);
    labObdDiagnosis->setWordWrap(true);
    labObdDiagnosis->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // On the first block's title: where the "Допуск:" rows come from when
    // the result was stored without its limits.
    labLimitsSource = note(group, "labLimitsSource", QRect(300, 32, 375, 24),
        QStringLiteral("color: #A05000; font-style: italic"));
    labLimitsSource->setText(QStringLiteral("нормативы по текущей таблице моделей"));
    labLimitsSource->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labLimitsSource->hide();
    // Beside the date the result was stored on.
    labVerificationExpired = note(this, "labVerificationExpired", QRect(664, 80, 300, 22),
        QStringLiteral("color: #C00000; font-weight: bold"));
    labVerificationExpired->setFont(largeFont(font()));
    labVerificationExpired->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labVerificationExpired->setText(QStringLiteral("Срок поверки прибора истёк"));
    labVerificationExpired->hide();
    // Beside the number: the control code printed on the protocol.
    labControlCode = note(this, "labControlCode", QRect(604, 48, 360, 22), QString());
    labControlCode->setFont(largeFont(font()));
    labControlCode->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labControlCode->setTextInteractionFlags(Qt::TextSelectableByMouse);
}
