#include "database_csv_reader.h"
#include "database_fixture.h"
#include "database_message_box_answer.h"
#include "report_pdf_text.h"

#include "app/TestState.h"
#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "database/ReportChain.h"
#include "database/ReportCsv.h"
#include "database/ReportFilter.h"
#include "database/ui/TFormReports.h"
#include "device/obd/VehicleDiagnosis.h"
#include "report/ui/ReportPage.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

QString shippedTemplate()
{
    return qEnvironmentVariable("ZELMOR_SOURCE_DIR") + QStringLiteral("/report/conf/report.frf");
}

// The report page on a plain widget and the browser printing through it,
// wired as the main window wires them.
class ReportPrintingTest : public DatabaseFixture
{
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        openDb();
        // As the main window does: the options as they stand at the store.
        db->setInspectionSource([this] { return inspection; });
        TestResult r;
        r.modelIndex = 3; // "Нейтрализатор": CO ≤ 0.5 % at minimum speed
        r.govNumber = QStringLiteral("А123ВС77");
        r.instrumentNumber = 1234;
        r.means
            = { 0.62f, 150, 14.2f, 0.8f, 124, 812, 1.0f, 0.3f, 60, 14.6f, 0.5f, 0, 2810, 0.99f };
        stored = db->StoreTestResult(r, QDateTime(QDate(2009, 2, 23), QTime(14, 3, 27)));
        clearLog();

        area = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(area.get());
        layout->addWidget(new QWidget); // the page's placeholder
        area->resize(900, 700);
        page.setPlaceSource([] { return QStringLiteral("Пункт ТО № 3"); });

        form = std::make_unique<TFormReports>(db.get());
        form->setReport(&page);
        // As the main window does: a print ends the test's live display.
        form->setReportPrinted([this] {
            state.OperationState = TestOperation::Blank;
            ++printedCalls;
        });
        form->prepareShow();
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        area.reset();
        FormatSettings::setDecimalSeparator(QLatin1Char('.'));
        DatabaseFixture::TearDown();
    }

    QStringList reportFiles() const
    {
        return QDir(folder() + QStringLiteral("reports"))
            .entryList({ QStringLiteral("*.pdf") }, QDir::Files, QDir::Name);
    }

    // Presses "Печать" and answers the box it shows; returns the box's text.
    QString pressPrint()
    {
        MessageBoxAnswer answer(QMessageBox::Ok);
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        return answer.shown() ? answer.text : QString();
    }

    Inspection inspection { QStringLiteral("Пункт ТО № 3"), QStringLiteral("Иванов И. И."),
        QStringLiteral("С-12/345"), QDate(2009, 12, 31) };
    int stored = 0;
    int printedCalls = 0;
    TestState state;
    ReportPage page;
    std::unique_ptr<QWidget> area;
    std::unique_ptr<TFormReports> form;
};

TEST_F(ReportPrintingTest, StartUpPlacesThePreviewPreparesAndZooms)
{
    page.setUp(area.get(), shippedTemplate());
    ASSERT_NE(page.ReportPreview, nullptr);
    EXPECT_EQ(page.ReportPreview->parentWidget(), area.get());
    EXPECT_EQ(area->layout()->count(), 1); // the placeholder gave way
    EXPECT_DOUBLE_EQ(page.ReportPreview->zoomFactor(), 0.87);
    EXPECT_TRUE(page.Report().isPrepared());
    EXPECT_FALSE(page.Report().showProgress());
    EXPECT_EQ(page.ReportPreview->pageCount(), 1);
}

TEST_F(ReportPrintingTest, MissingTemplateAtStartUpIsAnErrorAndPrintingSaysSo)
{
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path())); // no conf/report.frf here
    EXPECT_THROW(page.setUp(area.get()), IoError);
    ASSERT_NE(page.ReportPreview, nullptr); // placed all the same
    EXPECT_FALSE(page.Report().isPrepared());

    const QString text = pressPrint();
    EXPECT_TRUE(text.contains(QStringLiteral("Шаблон отчёта не загружен"))) << text.toStdString();
    EXPECT_TRUE(reportFiles().isEmpty());
    EXPECT_EQ(printedCalls, 0);
    EXPECT_TRUE(logLines().isEmpty());

    // Button2 loads it again once it is there.
    QDir().mkpath(dir.filePath("conf"));
    ASSERT_TRUE(QFile::copy(shippedTemplate(), dir.filePath("conf/report.frf")));
    page.Button2Click();
    EXPECT_TRUE(page.Report().isPrepared());
    EXPECT_EQ(page.Report().templatePath(), QDir(dir.path()).absoluteFilePath("conf/report.frf"));
    QDir::setCurrent(before);
}

TEST_F(ReportPrintingTest, PrintWithoutPrinterSavesPdfTellsWhereLogsAndBlanksTheTest)
{
    page.setUp(area.get(), shippedTemplate());
    const QString text = pressPrint();
    const QStringList files = reportFiles();
    ASSERT_EQ(files.size(), 1);
    const QString pdf = folder() + QStringLiteral("reports/") + files.first();
    EXPECT_TRUE(text.contains(pdf)) << text.toStdString();
    EXPECT_TRUE(files.first().endsWith(QStringLiteral("_А123ВС77.pdf")));
    EXPECT_EQ(printedCalls, 1);
    EXPECT_EQ(state.OperationState, TestOperation::Blank);
    EXPECT_EQ(logLines(), QStringList { QStringLiteral("print report") });

    const QString content = pdfText(pdf);
    for (const char *expected :
        { "Пункт ТО № 3", "А123ВС77", "Нейтрализатор", "0,62", "вне нормы", "не соответствует" })
        EXPECT_TRUE(content.contains(QString::fromUtf8(expected))) << expected;
    // The progress window was up while printing and is gone afterwards.
    EXPECT_GE(page.progressWindow().shownCount(), 1);
    EXPECT_EQ(page.progressWindow().window(), nullptr);
    EXPECT_FALSE(page.Report().showProgress());
}

TEST_F(ReportPrintingTest, PrintTwiceGivesTwoPrintsAndTwoLogLines)
{
    page.setUp(area.get(), shippedTemplate());
    pressPrint();
    pressPrint();
    EXPECT_EQ(reportFiles().size(), 2);
    EXPECT_EQ(printedCalls, 2);
    EXPECT_EQ(logLines(),
        QStringList({ QStringLiteral("print report"), QStringLiteral("print report") }));
}

TEST_F(ReportPrintingTest, EmptyBrowserPrintsNothing)
{
    page.setUp(area.get(), shippedTemplate());
    form->cboxFilterGosNum->setChecked(true);
    form->FilterGosNum->setEnabled(true);
    form->FilterGosNum->setText(QStringLiteral("NOSUCH"));
    form->RunFilter();
    ASSERT_EQ(form->selectedReportIndex(), 0);
    const QString text = pressPrint();
    EXPECT_EQ(text, QStringLiteral("Не выбран отчёт для печати."));
    EXPECT_TRUE(reportFiles().isEmpty());
    EXPECT_EQ(printedCalls, 0);
    EXPECT_EQ(state.OperationState, TestOperation::Live);
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(ReportPrintingTest, PdfButtonSavesTheShownReportWhereTheOperatorChooses)
{
    page.setUp(area.get(), shippedTemplate());
    const QString target = dir.filePath("chosen/protocol.pdf");
    QString suggested;
    form->setSaveFileDialog([&](QWidget *, const QString &s) {
        suggested = s;
        return target;
    });
    QTest::mouseClick(form->btnPdf, Qt::LeftButton);
    EXPECT_TRUE(suggested.endsWith(QStringLiteral(".pdf")));
    ASSERT_TRUE(QFileInfo::exists(target));
    EXPECT_TRUE(pdfText(target).contains(QStringLiteral("А123ВС77")));
    // Saving is not printing.
    EXPECT_EQ(printedCalls, 0);
    EXPECT_TRUE(logLines().isEmpty());

    // Cancelled: nothing written.
    form->setSaveFileDialog([](QWidget *, const QString &) { return QString(); });
    QFile::remove(target);
    QTest::mouseClick(form->btnPdf, Qt::LeftButton);
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(ReportPrintingTest, MeasuredValuesAreColouredAsOnTheReport)
{
    auto colour = [&](int block, int col) {
        return form->measuredEdits[block][col]->palette().color(QPalette::Text);
    };
    const QColor normal = form->palette().color(QPalette::Text);
    EXPECT_EQ(colour(0, 2), QColor(0xC0, 0x00, 0x00)); // CO 0.62 > 0.5
    EXPECT_TRUE(form->measuredEdits[0][2]->font().bold());
    EXPECT_EQ(colour(0, 3), QColor(0x1B, 0x6E, 0x1B)); // CH 150 ≤ 200
    EXPECT_EQ(colour(0, 0), QColor(0x1B, 0x6E, 0x1B)); // 812 within 800 ± 50
    EXPECT_EQ(colour(0, 4), normal); // CO2: no limit
}

// A protocol printed again, after the model was edited, shows what its
// result was judged by; a row stored without its limits says that it uses
// the table's current ones. The browser, the PDF and the export agree.
TEST_F(ReportPrintingTest, StoredLimitsSurviveAModelEditInBrowserProtocolAndExport)
{
    page.setUp(area.get(), shippedTemplate());
    const QDateTime day(QDate(2009, 2, 23), QTime(15, 0, 0));
    TestResult r;
    r.modelIndex = 3;
    r.govNumber = QStringLiteral("B222BB");
    r.instrumentNumber = 1234;
    // Every gas within, the raised speed 2950 against 2800 ± 100.
    r.means = { 0.4f, 150, 14.2f, 0.8f, 124, 812, 1.0f, 0.2f, 60, 14.6f, 0.5f, 0, 2950, 1.0f };
    // Measured with the vehicle's own computer: its speeds and its diagnosis.
    TestResult withObd = r;
    withObd.means[12] = 2810;
    withObd.speedSource = QStringLiteral("OBD");
    VehicleDiagnosis diagnosis;
    diagnosis.result = VehicleDiagnosis::Result::Read;
    diagnosis.status.milOn = true;
    diagnosis.status.codeCount = 1;
    // Every monitor a spark-ignition car may have: the longest text there is.
    for (const ObdMonitorInfo &info : obdMonitors())
        if (info.group != ObdMonitorGroup::Compression)
            diagnosis.status.supported.insert(info.monitor);
    diagnosis.status.incomplete.insert(ObdMonitor::OxygenSensor);
    diagnosis.vin = QStringLiteral("ZLM1SM0A1B2C34567");
    diagnosis.codesRead = true;
    diagnosis.codes = QStringList { QStringLiteral("P0420") };
    withObd.vehicleDiagnosis = QString::fromUtf8(diagnosis.toJson());
    const int obd = db->StoreTestResult(withObd, day.addSecs(-60));
    inspection.certificateValidUntil = QDate(2009, 2, 22); // the day before
    const int invalid = db->StoreTestResult(r, day);
    // A row of an older version: stored without any of it.
    const int older = db->StoreTestResult(r, day.addSecs(60));
    QStringList nulls;
    for (const char *field : FieldNames::StoredWith)
        nulls << QStringLiteral("\"%1\" = NULL").arg(QLatin1String(field));
    column(QStringLiteral("UPDATE \"reports.db\" SET %1 WHERE \"Index\" = %2")
               .arg(nulls.join(QStringLiteral(", ")))
               .arg(older));
    // The model is edited afterwards (any lane's models editor, or by hand).
    column(QStringLiteral("UPDATE \"models.DB\" SET \"Name\" = 'Нейтр. новая', \"MinCO\" = 9.99, "
                          "\"MaxTax\" = 2950 WHERE \"Index\" = 3"));

    const QColor red(0xC0, 0x00, 0x00), green(0x1B, 0x6E, 0x1B);
    const struct
    {
        const char *what;
        int index;
        const char *model, *minCoLimit, *conclusion;
        QColor minCoColour;
        bool limitsFromTable, expired, raisedSpeedOutside;
        std::vector<const char *> printed;
        QString browserDiagnosis = QStringLiteral("Бортовая диагностика: не проводилась");
    } cases[] = {
        { "stored with its limits", stored, "Нейтрализатор", "0,5",
            "автомобиль не соответствует установленным нормативам", red, false, false, false,
            { "Модель Нейтрализатор", "≤ 0,5", "2800 ± 100", "0,50 … 1,50", "1,00",
                "Оператор Иванов И. И.",
                "Свидетельство о поверке № С-12/345 действительно до 31.12.2009",
                "Бортовая диагностика: не проводилась" } },
        { "2950 rpm, stored after the verification date", invalid, "Нейтрализатор", "0,5",
            "измерение недействительно: частота вращения вне допуска на повышенной", green, false,
            true, true,
            { "≤ 0,5", "частота вращения", "вне допуска", "измерение необходимо повторить",
                "Срок поверки прибора истёк", "действительно до 22.02.2009" } },
        { "stored without its limits", older, "Нейтр. новая", "9,99",
            "автомобиль соответствует установленным нормативам", green, true, false, false,
            { "нормативы по текущей таблице моделей", "≤ 9,99", "2950 ± 100", "Пункт ТО № 3",
                "Свидетельство о поверке: не указано", "Бортовая диагностика: не проводилась" } },
        { "measured with the vehicle's computer", obd, "Нейтрализатор", "0,5",
            "автомобиль соответствует установленным нормативам", green, false, false, false,
            { "Бортовая диагностика: индикатор неисправности включён; готовность: пропуски "
              "воспламенения ✓,",
                "катализатор ✓,", "кислородный датчик ✗,",
                "коды неисправностей: P0420; VIN ZLM1SM0A1B2C34567",
                "Частота вращения: от бортового компьютера (OBD)" },
            QStringLiteral("Бортовая диагностика: ") + diagnosis.summary()
                + QStringLiteral("\nЧастота вращения: от бортового компьютера (OBD)") },
    };
    const QList<QStringList> csv = parseCsv(QString::fromUtf8(
        ReportCsv::toCsv(ReportCsv::linesOf(db->connection(), ReportFilter())).mid(3)));
    ASSERT_FALSE(csv.isEmpty());
    const auto csvCell = [&](int index, const char *title) {
        for (const QStringList &row : csv)
            if (row.value(0) == QString::number(index))
                return row.value(csv[0].indexOf(QString::fromUtf8(title)));
        return QStringLiteral("<no row>");
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        form->prepareShow(c.index);
        ASSERT_EQ(form->selectedReportIndex(), c.index);
        EXPECT_EQ(form->labModel->text(), QString::fromUtf8(c.model));
        EXPECT_EQ(form->limitEdits[0][2]->text(), QString::fromUtf8(c.minCoLimit));
        EXPECT_EQ(form->measuredEdits[0][2]->palette().color(QPalette::Text), c.minCoColour);
        EXPECT_TRUE(form->labConclusion->text().contains(QString::fromUtf8(c.conclusion)))
            << form->labConclusion->text().toStdString();
        EXPECT_EQ(form->labLimitsSource->isVisibleTo(form.get()), c.limitsFromTable);
        EXPECT_EQ(form->labVerificationExpired->isVisibleTo(form.get()), c.expired);
        EXPECT_EQ(form->labVerificationExpired->palette().color(QPalette::WindowText), red);
        EXPECT_EQ(form->labStepStatus[1]->text().isEmpty(), !c.raisedSpeedOutside);
        EXPECT_EQ(form->labObdDiagnosis->text(), c.browserDiagnosis);
        // The whole of it fits its place.
        EXPECT_LE(form->labObdDiagnosis->heightForWidth(form->labObdDiagnosis->width()),
            form->labObdDiagnosis->height());

        const QString pdf = dir.filePath(QStringLiteral("protocol-%1.pdf").arg(c.index));
        ASSERT_TRUE(page.savePdf(pdf, form.get()));
        if (const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR"); !shots.isEmpty()) {
            QFile::copy(pdf, shots + QStringLiteral("/protocol-%1.pdf").arg(c.index));
            form->grab().save(shots + QStringLiteral("/browser-%1.png").arg(c.index));
        }
        const QString text = pdfText(pdf).simplified();
        for (const char *expected : c.printed)
            EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                    << text.toStdString();
        // The control code of the stored row, on paper and in the browser alike.
        const QString code = QStringLiteral("Контрольный код: ")
            + ReportChain::controlCode(
                ReportChain::storedHash(db->connection(), c.index).toString().toLatin1());
        ASSERT_EQ(code.size(), 17 + 19);
        EXPECT_EQ(form->labControlCode->text(), code);
        EXPECT_TRUE(text.contains(code)) << text.toStdString();
        // The code typed from the paper checks against the stored row; one
        // digit off does not, nor does the row made old by emptying its
        // stored columns behind the program's back.
        for (const bool typo : { false, true }) {
            QString typed = code.mid(17);
            if (typo)
                typed[0] = typed[0] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
            form->setCodeAsker([&](QWidget *, int asked) {
                EXPECT_EQ(asked, c.index);
                return typed;
            });
            MessageBoxAnswer answer(QMessageBox::Ok);
            form->btnCheckCodeClick();
            const bool matches = !typo && c.index != older;
            EXPECT_EQ(answer.icon, matches ? QMessageBox::Information : QMessageBox::Warning)
                << answer.text.toStdString();
        }
        EXPECT_EQ(text.contains(QStringLiteral("таблице моделей")), c.limitsFromTable);
        EXPECT_EQ(text.contains(QStringLiteral("от бортового компьютера")), c.index == obd);
        EXPECT_EQ(text.contains(QStringLiteral("не соответствует")),
            QByteArray(c.conclusion).contains("не соответствует"));

        EXPECT_EQ(csvCell(c.index, "Название модели"), QString::fromUtf8(c.model));
        EXPECT_EQ(csvCell(c.index, "Норматив: Мин. CO, %"), QString::fromUtf8(c.minCoLimit));
        EXPECT_TRUE(csvCell(c.index, "Заключение").startsWith(QString::fromUtf8(c.conclusion)));
        EXPECT_EQ(csvCell(c.index, "Источник оборотов"),
            c.index == obd         ? QStringLiteral("OBD")
                : c.index == older ? QString()
                                   : QStringLiteral("instrument"));
        EXPECT_EQ(csvCell(c.index, "Нормативы"),
            c.limitsFromTable ? QStringLiteral("текущая таблица моделей")
                              : QStringLiteral("сохранённые с результатом"));
    }
}

} // namespace

namespace {

// The page "report" as the operator sees it, the browser beside it and the
// printed page, written when ZELMOR_SHOTS_DIR names a folder.
TEST_F(ReportPrintingTest, Screenshots)
{
    const QString shots = qEnvironmentVariable("ZELMOR_SHOTS_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "ZELMOR_SHOTS_DIR not set";
    area->resize(1016, 700);
    area->show();
    page.setUp(area.get(), shippedTemplate());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(area.get()));
    EXPECT_TRUE(area->grab().save(shots + QStringLiteral("/report-preview.png")));
    EXPECT_TRUE(form->grab().save(shots + QStringLiteral("/report-browser.png")));
    page.Report().exportPdf(shots + QStringLiteral("/report-page.pdf"));
}

} // namespace
