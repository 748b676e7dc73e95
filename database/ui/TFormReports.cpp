#include "database/ui/TFormReports.h"

#include "common/AppLog.h"
#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/ReportChain.h"
#include "database/ReportCsv.h"
#include "database/ReportFilter.h"
#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/LimitFieldDelegate.h"
#include "database/ui/ReportListModel.h"
#include "report/ReportJudgement.h"
#include "report/ui/ReportPage.h"
#include "tables/FieldNames.h"
#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlTableModel>
#include <QTableView>

namespace {

constexpr int ClientWidth = 978;
constexpr int ClientHeight = 634;
constexpr int FontPixels = 13;
constexpr int LargeFontPixels = 16;
constexpr int ListColumnWidth = 92;
constexpr int EditWidth = 65;
constexpr int EditHeight = 24;
constexpr int ColumnLeft0 = 152;
constexpr int ColumnStep = 64;
const QDate InitialFilterDate(2007, 2, 20);
const QColor Silver(0xC0, 0xC0, 0xC0);
// "Измерено:" values as the printed report marks them.
const QColor WithinColor(0x1B, 0x6E, 0x1B);
const QColor BeyondColor(0xC0, 0x00, 0x00);
const char *const Headings[8]
    = { "Об/мин", "Об/мин +/-", "CO, %", "CH, ppm", "CO2, %", "O2, %", "NOx, ppm", "λ" };

// The field a "Измерено:" row shows under a limit: the mean of the same name;
// the deviation columns have none.
const char *measuredField(int block, int col)
{
    const char *limit = FieldNames::Limits[block * 8 + col];
    return FieldNames::resultColumn(limit) >= 0 ? limit : nullptr;
}

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

TFormReports::TFormReports(ZelmorDatabase *database, QWidget *parent)
    : QDialog(parent)
    , m_db(database)
    , m_list(new ReportListModel(this))
{
    setObjectName(QStringLiteral("FormReports"));
    setWindowTitle(QStringLiteral("База данных измерений"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(FontPixels);
    setFont(f);
    m_list->clear(ReportFilter());
    buildLayout();

    connect(cboxFilterDate, &QCheckBox::clicked, this,
        [this] { filterBoxClick(cboxFilterDate, FilterDate); });
    connect(cboxFilterModel, &QCheckBox::clicked, this,
        [this] { filterBoxClick(cboxFilterModel, FilterModel); });
    connect(cboxFilterGosNum, &QCheckBox::clicked, this,
        [this] { filterBoxClick(cboxFilterGosNum, FilterGosNum); });
    connect(FilterDate, &QDateEdit::dateChanged, this, [this] { RunFilter(); });
    connect(FilterModel, &QComboBox::activated, this, &TFormReports::FilterModelCloseUp);
    connect(FilterGosNum, &QLineEdit::returnPressed, this, [this] { RunFilter(); });
    connect(FilterResult, &QTableView::clicked, this, &TFormReports::FilterResultCellClick);
    connect(btnDelete, &QPushButton::clicked, this, &TFormReports::btnDeleteClick);
    connect(Button1, &QPushButton::clicked, this, &TFormReports::Button1Click);
    connect(btnPdf, &QPushButton::clicked, this, &TFormReports::btnPdfClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    connect(btnExport, &QPushButton::clicked, this, &TFormReports::btnExportClick);
    connect(btnVerify, &QPushButton::clicked, this, &TFormReports::btnVerifyClick);
    connect(m_db->tbModels(), &TableCursor::dataReloaded, this, [this] {
        if (!m_chosenModelName.isEmpty())
            FilterModel->setCurrentIndex(FilterModel->findText(m_chosenModelName));
    });
}

void TFormReports::buildLayout()
{
    auto *filter = new QGroupBox(QStringLiteral("Фильтр"), this);
    filter->setObjectName(QStringLiteral("GroupBoxFilter"));
    filter->setGeometry(8, 8, 249, 617);

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
    FilterResult->setGeometry(16, 176, 217, 425);
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
        value->setGeometry(424, h.top, 540, 22);
        caption->setObjectName(QLatin1String(h.name) + QStringLiteral("Caption"));
        caption->setBuddy(value);
        *h.value = value;
    }

    auto *limits = new QGroupBox(QStringLiteral("Порог ограничения выхлопа"), this);
    limits->setObjectName(QStringLiteral("GroupBox1"));
    limits->setGeometry(272, 128, 697, 457);
    buildBlock(limits, 32, QStringLiteral("Минимальные обороты:"), 0);
    buildBlock(limits, 240, QStringLiteral("Повышенные обороты:"), 1);

    btnDelete = new QPushButton(QStringLiteral("Удалить"), this);
    btnDelete->setObjectName(QStringLiteral("btnDelete"));
    btnDelete->setGeometry(648, 600, 89, 25);
    Button1 = new QPushButton(QStringLiteral("Печать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(760, 600, 89, 25);
    btnPdf = new QPushButton(QStringLiteral("PDF..."), this);
    btnPdf->setObjectName(QStringLiteral("btnPdf"));
    btnPdf->setGeometry(536, 600, 89, 25);
    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(872, 600, 91, 25);
    // The whole list's commands stand apart from those of the shown report.
    btnExport = new QPushButton(QStringLiteral("Экспорт..."), this);
    btnExport->setObjectName(QStringLiteral("btnExport"));
    btnExport->setGeometry(272, 600, 97, 25);
    btnExport->setToolTip(QStringLiteral("Записать найденные отчёты в файл CSV"));
    btnVerify = new QPushButton(QStringLiteral("Проверить"), this);
    btnVerify->setObjectName(QStringLiteral("btnVerify"));
    btnVerify->setGeometry(384, 600, 97, 25);
    btnVerify->setToolTip(QStringLiteral("Проверить, что сохранённые результаты не изменялись"));
    // Enter belongs to the number filter; it must never press "Удалить".
    for (QPushButton *b : { btnPdf, btnDelete, Button1, btnClose, btnExport, btnVerify })
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

void TFormReports::bindModels()
{
    TableCursor *models = m_db->tbModels();
    if (!models->model() || FilterModel->model() == models->model())
        return;
    FilterModel->setModel(models->model());
    FilterModel->setModelColumn(models->fieldIndex(QStringLiteral("Name")));
    FilterModel->setCurrentIndex(
        m_chosenModelName.isEmpty() ? -1 : FilterModel->findText(m_chosenModelName));
}

void TFormReports::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QWidget *owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
}

void TFormReports::prepareShow(int reportIndex)
{
    bindModels();
    RunFilter();
    int row = reportIndex > 0 ? m_list->rowOfIndex(reportIndex) : -1;
    if (row < 0)
        row = m_list->rowCount() - 1;
    standOnRow(row);
}

int TFormReports::showReports(int reportIndex)
{
    prepareShow(reportIndex);
    return exec();
}

void TFormReports::filterBoxClick(QCheckBox *box, QWidget *control)
{
    control->setEnabled(box->isChecked());
    RunFilter();
}

void TFormReports::FilterModelCloseUp(int row)
{
    if (row >= 0) {
        m_chosenModelName = FilterModel->itemText(row);
        MessageBoxes::guarded(this, [&] { m_db->tbModels()->setCurrentRow(row); });
    }
    RunFilter();
}

ReportFilter TFormReports::currentFilter() const
{
    ReportFilter filter;
    filter.byDate = cboxFilterDate->isChecked();
    filter.byModel = cboxFilterModel->isChecked();
    filter.byGovNumber = cboxFilterGosNum->isChecked();
    filter.date = FilterDate->date();
    filter.modelName = FilterModel->currentIndex() >= 0 ? FilterModel->currentText() : QString();
    filter.govNumber = FilterGosNum->text();
    return filter;
}

void TFormReports::RunFilter()
{
    const ReportFilter filter = currentFilter();
    // A failed search leaves the list empty and says why, in a box and over
    // the list, which stays readable after the box is gone.
    QString reason;
    try {
        const QSqlDatabase db = m_db->connection();
        // A server that went away and came back is reached again.
        DatabaseEngine::requireConnected(db);
        m_list->setFilter(db, filter);
    } catch (const ZelmorError &e) {
        reason = e.message();
        if (!reason.isEmpty())
            reason[0] = reason[0].toUpper(); // it begins the sentence over the list
    }
    if (!reason.isEmpty()) {
        m_list->clear(filter);
        labEmptyReason->setText(QStringLiteral("Список пуст.\n") + reason);
    }
    labEmptyReason->setVisible(!reason.isEmpty());
    standOnRow(m_list->rowCount() > 0 ? 0 : -1);
    if (!reason.isEmpty())
        MessageBoxes::warning(this, reason);
}

QString TFormReports::emptyReason() const
{
    return labEmptyReason->isHidden() ? QString() : labEmptyReason->text();
}

void TFormReports::standOnRow(int row)
{
    const QModelIndex index = m_list->index(row, ReportListModel::Column0);
    if (index.isValid()) {
        FilterResult->setCurrentIndex(index);
        FilterResult->scrollTo(index);
    }
    ShowSelectedReport();
}

int TFormReports::selectedReportIndex() const
{
    return m_shown.index();
}

void TFormReports::clearShownReport()
{
    m_shown = ShownReport();
    labModel->clear();
    labGosNum->clear();
    labDate->clear();
    for (int block = 0; block < 2; ++block)
        for (int col = 0; col < 8; ++col) {
            limitEdits[block][col]->clear();
            measuredEdits[block][col]->clear();
        }
    colourMeasured();
}

void TFormReports::ShowSelectedReport()
{
    const int row = FilterResult->currentIndex().row();
    if (row < 0 || row >= m_list->rowCount()) {
        clearShownReport();
        return;
    }
    const int index = m_list->row(row).index;
    const QSqlDatabase db = m_db->connection();
    const bool ok = MessageBoxes::guarded(this, [&] { m_shown = ShownReport::read(db, index); });
    if (!ok || m_shown.isEmpty()) {
        clearShownReport();
        return;
    }
    const QVariantMap &result = m_shown.result;
    const QVariantMap &model = m_shown.model;
    labModel->setText(model.value(QStringLiteral("Name")).toString());
    labGosNum->setText(result.value(QStringLiteral("GovNumber")).toString());
    labDate->setText(ReportListModel::dateText(result.value(QStringLiteral("Date")))
        + QStringLiteral(" / ") + ReportListModel::timeText(result.value(QStringLiteral("Time"))));
    for (int block = 0; block < 2; ++block) {
        for (int col = 0; col < 8; ++col) {
            const char *limitField = FieldNames::Limits[block * 8 + col];
            limitEdits[block][col]->setText(model.isEmpty()
                    ? QString()
                    : LimitFieldDelegate::displayText(model.value(QLatin1String(limitField))));
            const char *measured = measuredField(block, col);
            measuredEdits[block][col]->setText(measured
                    ? LimitFieldDelegate::displayText(result.value(QLatin1String(measured)))
                    : QString());
        }
    }
    colourMeasured();
}

void TFormReports::colourMeasured()
{
    const ReportData data = reportData();
    const ReportJudgement judgement = ReportJudgement::judge(data.qrResult, data.qrModel);
    for (int block = 0; block < 2; ++block) {
        for (int col = 0; col < 8; ++col) {
            QLineEdit *edit = measuredEdits[block][col];
            const char *field = measuredField(block, col);
            const Verdict v = field ? judgement.verdict(QLatin1String(field)) : Verdict::NoValue;
            QPalette pal = edit->palette();
            pal.setColor(QPalette::Text,
                v == Verdict::Beyond       ? BeyondColor
                    : v == Verdict::Within ? WithinColor
                                           : palette().color(QPalette::Text));
            edit->setPalette(pal);
            QFont f = edit->font();
            f.setBold(v == Verdict::Beyond);
            edit->setFont(f);
        }
    }
}

ReportData TFormReports::reportData() const
{
    ReportData data;
    data.qrResult = m_shown.result;
    data.qrModel = m_shown.model;
    return data;
}

void TFormReports::setReport(ReportPage *report)
{
    m_report = report;
    if (m_report)
        m_report->setDataSource([this] { return reportData(); });
}

void TFormReports::setReportPrinted(std::function<void()> printed)
{
    m_reportPrinted = std::move(printed);
}

void TFormReports::setSaveFileDialog(std::function<QString(QWidget *, const QString &)> dialog)
{
    m_saveFileDialog = std::move(dialog);
}

bool TFormReports::requireShownReport()
{
    if (!m_report) {
        MessageBoxes::warning(this, QStringLiteral("Печать отчёта недоступна."));
        return false;
    }
    if (m_shown.isEmpty()) {
        MessageBoxes::warning(this, QStringLiteral("Не выбран отчёт для печати."));
        return false;
    }
    return true;
}

void TFormReports::Button1Click()
{
    // The report printed is the one shown at the moment of the press.
    if (!requireShownReport())
        return;
    if (!m_report->Print(this))
        return;
    if (m_reportPrinted)
        m_reportPrinted();
    WriteLog(QStringLiteral("print report"));
}

void TFormReports::btnPdfClick()
{
    if (!requireShownReport())
        return;
    QString number;
    for (const QChar c : m_shown.result.value(QStringLiteral("GovNumber")).toString())
        if (c.isLetterOrNumber())
            number += c;
    const QString suggested = QDir::home().absoluteFilePath(
        QStringLiteral("Протокол_%1_%2.pdf").arg(m_shown.index()).arg(number));
    const QString path = m_saveFileDialog
        ? m_saveFileDialog(this, suggested)
        : QFileDialog::getSaveFileName(
            this, QStringLiteral("Сохранить отчёт"), suggested, QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    m_report->savePdf(path, this);
}

void TFormReports::setExportFileDialog(std::function<QString(QWidget *, const QString &)> dialog)
{
    m_exportFileDialog = std::move(dialog);
}

QString TFormReports::exportFileName(const QDate &day)
{
    return QStringLiteral("отчеты_%1.csv").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

void TFormReports::btnExportClick()
{
    const QString suggested = QDir::home().absoluteFilePath(exportFileName(QDate::currentDate()));
    const QString path = m_exportFileDialog
        ? m_exportFileDialog(this, suggested)
        : QFileDialog::getSaveFileName(
            this, QStringLiteral("Экспорт отчётов"), suggested, QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    try {
        const QSqlDatabase db = m_db->connection();
        DatabaseEngine::requireConnected(db);
        // The rows the list shows now: the filter as its controls stand.
        ReportFilter filter = currentFilter();
        filter.resolveModel(db);
        const int rows = ReportCsv::exportFilter(db, filter, path);
        WriteLog(QStringLiteral("reports exported: %1 rows to %2").arg(rows).arg(path));
        MessageBoxes::information(this,
            QStringLiteral("Записано отчётов: %1.\nФайл: %2")
                .arg(rows)
                .arg(QDir::toNativeSeparators(path)));
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(this, QStringLiteral("Отчёты не записаны: ") + e.message());
    }
}

void TFormReports::btnVerifyClick()
{
    try {
        const QSqlDatabase db = m_db->connection();
        DatabaseEngine::requireConnected(db);
        const ReportChain::VerifyResult result = ReportChain::verify(db);
        if (result.intact()) {
            WriteLog(QStringLiteral("report chains intact: %1 rows, %2 chains")
                         .arg(result.rows)
                         .arg(result.chains));
            MessageBoxes::information(this,
                QStringLiteral("Записи не изменялись: %1 записей, %2 приборов.")
                    .arg(result.rows)
                    .arg(result.chains));
        } else {
            QString text = result.faults.first().text() + QLatin1Char('.');
            if (result.faults.size() > 1)
                text += QStringLiteral("\nНарушенных цепочек приборов: %1.")
                            .arg(result.faults.size());
            WriteLog(QStringLiteral("report chains broken: %1").arg(result.faults.first().text()));
            MessageBoxes::warning(this, text);
        }
    } catch (const ZelmorError &e) {
        MessageBoxes::warning(this, QStringLiteral("Проверка невозможна: ") + e.message());
    }
}

void TFormReports::FilterResultCellClick()
{
    ShowSelectedReport();
}

void TFormReports::btnDeleteClick()
{
    // The report to delete is the one shown, fixed before the question is asked.
    const int index = m_shown.index();
    if (index <= 0)
        return;
    if (!MessageBoxes::confirm(this, QStringLiteral("Вы действительно хотите удалить запись?")))
        return;
    const int row = FilterResult->currentIndex().row();
    QString tableProblem;
    try {
        tableProblem = m_db->deleteReport(index);
    } catch (const DatabaseWriteError &e) {
        MessageBoxes::warning(this, QStringLiteral("Запись не удалена: ") + e.message());
        return;
    }
    // Deleted: whatever follows, the log and the list say so.
    WriteLog(QStringLiteral("delete record"));
    emit reportDeleted(index);
    RunFilter();
    standOnRow(qMin(row, m_list->rowCount() - 1));
    if (!tableProblem.isEmpty())
        MessageBoxes::warning(this,
            QStringLiteral("Запись удалена, но таблица результатов не перечитана: ")
                + tableProblem);
}
