#include "database/ui/TFormReports.h"

#include "common/AppLog.h"
#include "common/ZelmorError.h"
#include "database/DatabaseEngine.h"
#include "database/ReportFilter.h"
#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/LimitFieldDelegate.h"
#include "database/ui/ReportListModel.h"
#include "report/ReportJudgement.h"
#include "report/ReportNames.h"
#include "tables/FieldNames.h"
#include "widgets/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlTableModel>
#include <QTableView>

namespace {

// "Измерено:" values as the printed report marks them.
const QColor WithinColor(0x1B, 0x6E, 0x1B);
const QColor BeyondColor(0xC0, 0x00, 0x00);
const QColor InvalidColor(0xA0, 0x50, 0x00);

// A field's value in an edit: a lambda with its decimals.
QString editText(const char *field, const QVariant &value)
{
    if (!FieldNames::isLambda(field))
        return LimitFieldDelegate::displayText(value);
    bool ok = false;
    const double v = value.toDouble(&ok);
    return value.isNull() || !ok ? LimitFieldDelegate::displayText(value)
                                 : numberText(QLatin1String(field), v);
}

// The field a "Измерено:" row shows under a limit: the mean of the same name;
// the deviation columns have none.
const char *measuredField(int block, int col)
{
    const char *limit = FieldNames::Limits[block * 8 + col];
    return FieldNames::resultColumn(limit) >= 0 ? limit : nullptr;
}

} // namespace

TFormReports::TFormReports(ZelmorDatabase *database, QWidget *parent)
    : QDialog(parent)
    , m_db(database)
    , m_list(new ReportListModel(this))
{
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
    connect(btnCheckCode, &QPushButton::clicked, this, &TFormReports::btnCheckCodeClick);
    connect(m_db->tbModels(), &TableCursor::dataReloaded, this, [this] {
        if (!m_chosenModelName.isEmpty())
            FilterModel->setCurrentIndex(FilterModel->findText(m_chosenModelName));
    });
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
    // A role that may not delete sees why on the greyed-out button.
    const QString refusal = m_db->deleteRefusal();
    btnDelete->setEnabled(refusal.isEmpty());
    btnDelete->setToolTip(refusal);
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
    showJudgement();
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
            limitEdits[block][col]->setText(
                model.isEmpty() ? QString() : editText(limitField, model.value(limitField)));
            const char *measured = measuredField(block, col);
            measuredEdits[block][col]->setText(
                measured ? editText(measured, result.value(measured)) : QString());
        }
    }
    colourMeasured();
    showJudgement();
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
                v == Verdict::Beyond             ? BeyondColor
                    : v == Verdict::SpeedOutside ? InvalidColor
                    : v == Verdict::Within       ? WithinColor
                                                 : palette().color(QPalette::Text));
            edit->setPalette(pal);
            QFont f = edit->font();
            f.setBold(v == Verdict::Beyond || v == Verdict::SpeedOutside);
            edit->setFont(f);
        }
    }
}

void TFormReports::showJudgement()
{
    const ReportData data = reportData();
    const ReportJudgement judgement = ReportJudgement::judge(data.qrResult, data.qrModel);
    for (int block = 0; block < 2; ++block)
        labStepStatus[block]->setText(data.hasReport() && judgement.outcome().stepInvalid[block]
                ? ReportJudgement::verdictText(Verdict::SpeedOutside)
                : QString());
    const Conclusion c = judgement.conclusion();
    labConclusion->setText(data.hasReport()
            ? QStringLiteral("Заключение: %1.").arg(judgement.conclusionText())
            : QString());
    labConclusion->setStyleSheet(
        QStringLiteral("font-weight: bold; color: %1")
            .arg(c == Conclusion::Fails         ? BeyondColor.name()
                    : c == Conclusion::Invalid  ? InvalidColor.name()
                    : c == Conclusion::Complies ? WithinColor.name()
                                                : palette().color(QPalette::WindowText).name()));
    labLimitsSource->setVisible(data.hasReport() && !data.modelStored);
    labVerificationExpired->setVisible(ReportNames::verificationExpired(data.qrResult));
    labControlCode->setText(data.hasReport() ? QStringLiteral("Контрольный код: ")
                + ReportNames::text(QStringLiteral("report.ControlCode"), data, judgement)
                                             : QString());
    QString diagnosis;
    if (data.hasReport()) {
        diagnosis = QStringLiteral("Бортовая диагностика: ")
            + ReportNames::vehicleDiagnosis(data.qrResult);
        if (const QString source = ReportNames::speedSourceNote(data.qrResult); !source.isEmpty())
            diagnosis += QLatin1Char('\n') + source;
    }
    labObdDiagnosis->setText(diagnosis);
    labObdDiagnosis->setToolTip(diagnosis);
}

ReportData TFormReports::reportData() const
{
    ReportData data;
    data.qrResult = m_shown.result;
    data.qrModel = m_shown.model;
    data.modelStored = m_shown.modelStored;
    return data;
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
