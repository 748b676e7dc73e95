#include "report_pdf_text.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "device/obd/VehicleDiagnosis.h"
#include "report/ReportDocument.h"
#include "report/ReportJudgement.h"
#include "report/ReportNames.h"
#include "report/ReportPrintJob.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTime>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

namespace {

// A stored result of model "Нейтрализатор": CO beyond its limit at minimum
// speed, everything else within.
ReportData storedReport()
{
    ReportData d;
    d.qrResult = {
        { "Index", 42 },
        { "Date", QDate(2009, 2, 23) },
        { "Time", QStringLiteral("14:03:27") },
        { "ZMNum", 1234.0 },
        { "Model", 3.0 },
        { "GovNumber", QStringLiteral("А123ВС77") },
        { "MinTax", 812.0 },
        { "MinCO", 0.62 },
        { "MinCH", 150.0 },
        { "MinCO2", 14.2 },
        { "MinO2", 0.8 },
        { "MinNOx", 124.0 },
        { "MinLambda", 1.0 },
        { "MaxTax", 2810.0 },
        { "MaxCO", 0.3 },
        { "MaxCH", 60.0 },
        { "MaxCO2", 14.6 },
        { "MaxO2", 0.5 },
        { "MaxNOx", 0.0 },
        { "MaxLambda", 0.99 },
        { "Hash",
            QStringLiteral("3fa29c0177b0e45d5f0e1d2c3b4a59687766554433221100ffeeddccbbaa9988") },
    };
    d.qrModel = {
        { "Index", 3 },
        { "Name", QStringLiteral("Нейтрализатор") },
        { "SaveSystem", QStringLiteral("нейтрализатор, лямбда-зонд") },
        { "Category", QStringLiteral("M1") },
        { "MinTax", 800.0 },
        { "MinTaxD", 50.0 },
        { "MinCO", 0.5 },
        { "MinCH", 200.0 },
        { "MinCO2", 0.0 },
        { "MinO2", 0.0 },
        { "MinNOx", 0.0 },
        { "MinLambda", 1.0 },
        { "MaxTax", 2800.0 },
        { "MaxTaxD", 100.0 },
        { "MaxCO", 0.3 },
        { "MaxCH", 100.0 },
        { "MaxCO2", 0.0 },
        { "MaxO2", 0.0 },
        { "MaxNOx", 0.0 },
        { "MaxLambda", 1.0 },
    };
    d.edReportPlace = QStringLiteral("НПФ \"Лумарис\"");
    // What it was stored with: its model as it stood then, who measured it
    // and with what.
    d.modelStored = true;
    d.qrResult["ModelName"] = d.qrModel["Name"];
    d.qrResult["ModelCategory"] = d.qrModel["Category"];
    d.qrResult["ModelSaveSystem"] = d.qrModel["SaveSystem"];
    for (const char *limit : FieldNames::Limits)
        d.qrResult[QStringLiteral("Lim") + QLatin1String(limit)] = d.qrModel[limit];
    d.qrResult["Place"] = QStringLiteral("Пункт ТО № 3");
    d.qrResult["Operator"] = QStringLiteral("Иванов И. И.");
    d.qrResult["Certificate"] = QStringLiteral("С-12/345");
    d.qrResult["CertificateValidUntil"] = QDate(2009, 12, 31);
    d.qrResult["SpeedSource"] = QStringLiteral("instrument");
    d.qrResult["VehicleDiagnosis"] = QStringLiteral("");
    return d;
}

QString shippedTemplate()
{
    return qEnvironmentVariable("ZELMOR_SOURCE_DIR") + QStringLiteral("/report/conf/report.frf");
}

void writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

class ReportEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override { FormatSettings::setDecimalSeparator(QLatin1Char('.')); }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

// ---- judgement ------------------------------------------------------------

// Every case on the model "Нейтрализатор": 800 ± 50 and 2800 ± 100 rpm, CO
// 0,5 / 0,3 %, CH 200 / 100 ppm, λ 1 at both speeds; as stored, CO is over
// its limit at minimum speed (0,62), everything else within.
struct Set
{
    char map; // 'r' the result, 'm' its model; the map is emptied without a field
    const char *field;
    double value;
};

struct JudgementCase
{
    const char *what;
    std::vector<Set> changes;
    const char *field;
    Verdict verdict;
    const char *limit; // as printed; nullptr: not checked
    Conclusion conclusion;
    const char *conclusionText; // nullptr: not checked
};

TEST_F(ReportEngineTest, JudgementTable)
{
    const Set coWithin { 'r', "MinCO", 0.4 };
    const JudgementCase cases[] = {
        { "CO over its limit", {}, "MinCO", Verdict::Beyond, "≤ 0,5", Conclusion::Fails,
            "автомобиль не соответствует установленным нормативам содержания вредных веществ в "
            "отработавших газах" },
        { "CO on its limit, all within", { { 'r', "MinCO", 0.5 } }, "MinCO", Verdict::Within,
            nullptr, Conclusion::Complies,
            "автомобиль соответствует установленным нормативам содержания вредных веществ в "
            "отработавших газах" },
        { "CH over its limit", { coWithin, { 'r', "MaxCH", 101 } }, "MaxCH", Verdict::Beyond,
            "≤ 100", Conclusion::Fails, nullptr },
        { "2950 rpm against 2500 ± 100, every gas within",
            { coWithin, { 'm', "MaxTax", 2500 }, { 'r', "MaxTax", 2950 } }, "MaxTax",
            Verdict::SpeedOutside, "2500 ± 100", Conclusion::Invalid,
            "измерение недействительно: частота вращения вне допуска на повышенной частоте "
            "вращения; измерение необходимо повторить" },
        { "speed outside with CO over: invalid, not a failure", { { 'r', "MinTax", 700 } },
            "MinTax", Verdict::SpeedOutside, "800 ± 50", Conclusion::Invalid,
            "измерение недействительно: частота вращения вне допуска на минимальной частоте "
            "вращения; измерение необходимо повторить" },
        { "both speeds outside", { { 'r', "MinTax", 851 }, { 'r', "MaxTax", 2699 } }, "MaxTax",
            Verdict::SpeedOutside, nullptr, Conclusion::Invalid,
            "измерение недействительно: частота вращения вне допуска на обеих частотах вращения; "
            "измерение необходимо повторить" },
        { "speed on its window's edge", { coWithin, { 'r', "MinTax", 750 } }, "MinTax",
            Verdict::Within, nullptr, Conclusion::Complies, nullptr },
        { "no allowed deviation: the speed is not judged",
            { coWithin, { 'm', "MinTaxD", 0 }, { 'r', "MinTax", 1200 } }, "MinTax",
            Verdict::NoLimit, "—", Conclusion::Complies, nullptr },
        { "λ without a limit", { coWithin, { 'm', "MinLambda", 0 }, { 'r', "MinLambda", 3 } },
            "MinLambda", Verdict::NoLimit, "—", Conclusion::Complies, nullptr },
        { "λ beyond the gauges' window", { coWithin, { 'r', "MinLambda", 1.6 } }, "MinLambda",
            Verdict::Beyond, "0,50 … 1,50", Conclusion::Fails, nullptr },
        { "λ -1: the instrument gave none", { coWithin, { 'r', "MaxLambda", -1 } }, "MaxLambda",
            Verdict::NoValue, nullptr, Conclusion::Undetermined,
            "соответствие установленным нормативам не определено" },
        { "NOx is shown, not judged", { coWithin, { 'm', "MinNOx", 100 }, { 'r', "MinNOx", 500 } },
            "MinNOx", Verdict::NoLimit, "—", Conclusion::Complies, nullptr },
        { "no stored limits and no model", { { 'm', nullptr, 0 } }, "MinCO", Verdict::NoLimit, "",
            Conclusion::Undetermined, "соответствие установленным нормативам не определено" },
        { "no result", { { 'r', nullptr, 0 } }, "MinCO", Verdict::NoValue, nullptr,
            Conclusion::Undetermined, "" },
    };
    for (const JudgementCase &c : cases) {
        SCOPED_TRACE(c.what);
        ReportData d = storedReport();
        for (const Set &set : c.changes) {
            QVariantMap &map = set.map == 'r' ? d.qrResult : d.qrModel;
            if (set.field)
                map[set.field] = set.value;
            else
                map.clear();
        }
        const ReportJudgement j = ReportJudgement::judge(d.qrResult, d.qrModel);
        EXPECT_EQ(j.verdict(c.field), c.verdict);
        if (c.limit) {
            EXPECT_EQ(j.limitText(c.field), QString::fromUtf8(c.limit));
        }
        EXPECT_EQ(j.conclusion(), c.conclusion);
        if (c.conclusionText) {
            EXPECT_EQ(j.conclusionText(), QString::fromUtf8(c.conclusionText));
        }
    }
}

// ---- names ----------------------------------------------------------------

TEST_F(ReportEngineTest, EveryListedNameResolvesAndTheStoredValuesPrintAsTheProgramWritesThem)
{
    QString text;
    for (const QString &name : ReportNames::all())
        text += QStringLiteral("<p>%1=[%1]</p>\n").arg(name);
    const ReportTemplate t = ReportTemplate::fromText(text, QStringLiteral("all names"));
    const QString html = t.fill(storedReport());
    EXPECT_FALSE(html.contains(QLatin1String("=[")));

    const struct
    {
        const char *name;
        QString text;
    } expected[] = {
        { "qrResult.Index", QStringLiteral("42") },
        { "qrResult.Date", QStringLiteral("23.02.2009") },
        { "qrResult.Time", QStringLiteral("14:03:27") },
        { "qrResult.ZMNum", QStringLiteral("1234") },
        { "qrResult.GovNumber", QStringLiteral("А123ВС77") },
        { "qrResult.MinCO", QStringLiteral("0,62") },
        { "qrResult.MinLambda", QStringLiteral("1,00") },
        { "qrResult.MaxLambda", QStringLiteral("0,99") },
        { "qrResult.LimMinCO", QStringLiteral("0,5") },
        { "qrResult.CertificateValidUntil", QStringLiteral("31.12.2009") },
        { "qrModel.Name", QStringLiteral("Нейтрализатор") },
        { "qrModel.SaveSystem", QStringLiteral("нейтрализатор, лямбда-зонд") },
        { "qrModel.Category", QStringLiteral("M1") },
        { "qrModel.MaxTaxD", QStringLiteral("100") },
        { "qrModel.MaxLambda", QStringLiteral("1,00") },
        { "edReportPlace", QStringLiteral("Пункт ТО № 3") },
        { "limit.MaxTax", QStringLiteral("2800 ± 100") },
        { "limit.MaxLambda", QStringLiteral("0,50 … 1,50") },
        { "verdict.MinCO", QStringLiteral("вне нормы") },
        { "verdict.MinCH", QStringLiteral("в норме") },
        { "verdict.MinNOx", QStringLiteral("—") },
        { "verdict.Overall", QStringLiteral("не соответствует") },
        { "verdict.Conclusion",
            QStringLiteral("автомобиль не соответствует установленным нормативам содержания "
                           "вредных веществ в отработавших газах") },
        { "mark.MinCO", QStringLiteral("beyond") },
        { "mark.Overall", QStringLiteral("beyond") },
        { "report.Operator", QStringLiteral("Иванов И. И.") },
        { "report.Verification",
            QStringLiteral("Свидетельство о поверке № С-12/345 действительно до 31.12.2009") },
        { "report.VerificationExpired", QString() },
        { "report.LimitsSource", QString() },
        { "report.ControlCode", QStringLiteral("3FA2 9C01 77B0 E45D") },
        { "report.VehicleDiagnosis", QStringLiteral("не проводилась") },
        { "report.SpeedSource", QString() },
    };
    for (const auto &e : expected)
        EXPECT_TRUE(
            html.contains(QStringLiteral("<p>%1=%2</p>").arg(QLatin1String(e.name), e.text)))
            << e.name;
}

// The vehicle's diagnosis as the protocol prints it from what the result
// was stored with.
TEST_F(ReportEngineTest, StoredDiagnosisPrintsItsSummaryOrThatItWasNotMade)
{
    VehicleDiagnosis read;
    read.result = VehicleDiagnosis::Result::Read;
    read.status.supported.insert(ObdMonitor::Catalyst);
    read.status.supported.insert(ObdMonitor::Evaporative);
    read.status.incomplete.insert(ObdMonitor::Evaporative);
    read.status.codeCount = 1;
    read.codesRead = true;
    read.codes = QStringList { QStringLiteral("P0420") };
    VehicleDiagnosis failed;
    failed.result = VehicleDiagnosis::Result::Failed;
    failed.failure = QStringLiteral("автомобиль не отвечает (NO DATA)");
    const struct
    {
        const char *name;
        QVariant stored;
        QString printed;
    } rows[] = {
        { "a row stored before the column", QVariant(QMetaType::fromType<QString>()),
            QStringLiteral("не проводилась") },
        { "no adapter", QString(), QStringLiteral("не проводилась") },
        { "a read that failed", QString::fromUtf8(failed.toJson()),
            QStringLiteral("не проводилась") },
        { "read", QString::fromUtf8(read.toJson()),
            QStringLiteral("индикатор неисправности выключен; готовность: катализатор ✓, система "
                           "улавливания паров топлива ✗; коды неисправностей: P0420") },
        { "changed behind the program's back", QStringLiteral("{\"obd\":1,\"result\":\"maybe\"}"),
            QStringLiteral("сведения повреждены") },
        { "not a diagnosis at all", QStringLiteral("<b>ok</b>"),
            QStringLiteral("сведения повреждены") },
    };
    const ReportTemplate t
        = ReportTemplate::fromText(QStringLiteral("[report.VehicleDiagnosis]"), "t");
    for (const auto &row : rows) {
        ReportData d = storedReport();
        d.qrResult[QStringLiteral("VehicleDiagnosis")] = row.stored;
        EXPECT_EQ(t.fill(d), row.printed.toHtmlEscaped()) << row.name;
    }
    EXPECT_EQ(t.fill(ReportData()), QString()) << "an empty browser prints nothing";
}

TEST_F(ReportEngineTest, OperatorTextIsEscapedNotTakenAsMarkup)
{
    ReportData d = storedReport();
    d.qrResult["GovNumber"] = QStringLiteral("<b>X</b>");
    d.qrResult["Place"] = QStringLiteral("A & B");
    const QString html
        = ReportTemplate::fromText(QStringLiteral("[qrResult.GovNumber]|[edReportPlace]"), "t")
              .fill(d);
    EXPECT_EQ(html, QStringLiteral("&lt;b&gt;X&lt;/b&gt;|A &amp; B"));
}

// What a protocol says of who measured it, with what and against which
// limits follows the stored row, whatever the settings or the models say now.
TEST_F(ReportEngineTest, StoredWithNamesFollowTheStoredRow)
{
    const QVariant none;
    const struct
    {
        const char *what;
        std::vector<std::pair<const char *, QVariant>> changes; // fields of the result
        const char *name;
        QString text;
    } cases[] = {
        { "stored the day after the validity date",
            { { "CertificateValidUntil", QDate(2009, 2, 22) } }, "report.VerificationExpired",
            QStringLiteral("Срок поверки прибора истёк") },
        { "stored on the validity date (SQLite's date text)",
            { { "CertificateValidUntil", "2009-02-23" }, { "Date", "2009-02-23" } },
            "report.VerificationExpired", QString() },
        { "no operator set", { { "Operator", "" } }, "report.Operator",
            QStringLiteral("________________________________") },
        { "certificate without a date", { { "CertificateValidUntil", none } },
            "report.Verification", QStringLiteral("Свидетельство о поверке № С-12/345") },
        { "a row stored before: nothing of it",
            { { "Certificate", none }, { "CertificateValidUntil", none } }, "report.Verification",
            QStringLiteral("Свидетельство о поверке: не указано") },
        { "a row stored before: the place as set now", { { "Place", none } }, "edReportPlace",
            QStringLiteral("НПФ &quot;Лумарис&quot;") },
        { "an invalid measurement says nothing of the vehicle", { { "MaxTax", 2950.0 } },
            "verdict.Overall", QStringLiteral("не определено") },
        { "nor marks it as failed", { { "MaxTax", 2950.0 } }, "mark.Overall",
            QStringLiteral("invalid") },
        { "a row without a hash has no control code", { { "Hash", none } }, "report.ControlCode",
            QStringLiteral("не присвоен") },
    };
    const auto fill = [](const ReportData &d, const char *name) {
        return ReportTemplate::fromText(QStringLiteral("[%1]").arg(QLatin1String(name)), "t")
            .fill(d);
    };
    for (const auto &c : cases) {
        ReportData d = storedReport();
        for (const auto &[field, value] : c.changes)
            d.qrResult[field] = value;
        EXPECT_EQ(fill(d, c.name), c.text) << c.what;
    }
    ReportData older = storedReport();
    older.modelStored = false;
    EXPECT_EQ(
        fill(older, "report.LimitsSource"), QStringLiteral("нормативы по текущей таблице моделей"));
}

TEST_F(ReportEngineTest, EmptyBrowserGivesEmptyFieldsAndNoVerdict)
{
    const QString html = ReportTemplate::fromText(
        QStringLiteral("[qrResult.GovNumber]|[qrModel.Name]|[verdict.MinCO]|[verdict.Overall]|"
                       "[limit.MinCO]|[qrResult.Date]"),
        "t")
                             .fill(ReportData());
    EXPECT_EQ(html, QStringLiteral("|||||"));
}

TEST_F(ReportEngineTest, UnknownNameIsRefusedAtLoadWithItsNameAndLine)
{
    writeFile(path("bad.frf"),
        QStringLiteral("<p>[qrResult.MinCO]</p>\n<p>ok</p>\n<p>[qrResult.MinC0]</p>\n"));
    try {
        ReportTemplate::load(path("bad.frf"));
        FAIL() << "an unknown name was accepted";
    } catch (const ZelmorError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("[qrResult.MinC0]")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("строка 3"))) << e.message().toStdString();
    }
    // Brackets that are no name (a number, a blank) stay text.
    EXPECT_NO_THROW(ReportTemplate::fromText(QStringLiteral("[1] [ a ] &#91;x]"), "t"));
}

TEST_F(ReportEngineTest, ShippedTemplateLoadsAndNamesEveryValueOfTheProtocol)
{
    const ReportTemplate t = ReportTemplate::load(shippedTemplate());
    for (const char *name : { "edReportPlace", "qrResult.Date", "qrResult.Time", "qrResult.ZMNum",
             "qrModel.Name", "qrModel.Category", "qrModel.SaveSystem", "qrResult.GovNumber",
             "limit.MinCO", "qrResult.MaxLambda", "verdict.MaxLambda", "verdict.Conclusion",
             "report.Operator", "report.Verification", "report.VerificationExpired",
             "report.LimitsSource", "report.ControlCode" })
        EXPECT_TRUE(t.text().contains(QStringLiteral("[%1]").arg(QLatin1String(name)))) << name;
}

// ---- loading ----------------------------------------------------------------

TEST_F(ReportEngineTest, TemplateIsFoundBelowTheWorkingDirectory)
{
    const QString before = QDir::currentPath();
    writeFile(path("conf/report.frf"), QStringLiteral("<p>here [qrResult.GovNumber]</p>"));
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ReportDocument report;
    EXPECT_NO_THROW(report.LoadFromFile());
    EXPECT_EQ(report.templatePath(), QDir(dir.path()).absoluteFilePath("conf/report.frf"));

    // Elsewhere there is none: the error names the path looked at.
    QTemporaryDir other;
    ASSERT_TRUE(QDir::setCurrent(other.path()));
    try {
        report.LoadFromFile();
        ADD_FAILURE() << "a missing template was loaded";
    } catch (const IoError &e) {
        EXPECT_TRUE(e.message().contains(other.path())) << e.message().toStdString();
    }
    // The template loaded before stays usable.
    EXPECT_TRUE(report.hasTemplate());
    EXPECT_TRUE(report.PrepareReport());
    QDir::setCurrent(before);
}

// ---- pages and output ---------------------------------------------------------

TEST(ReportPagesTest, PageRangeTexts)
{
    const struct
    {
        const char *range;
        int pages;
        QList<int> expected;
    } cases[] = {
        { "1", 3, { 0 } },
        { "", 3, { 0, 1, 2 } },
        { "2-3", 3, { 1, 2 } },
        { "1,3", 3, { 0, 2 } },
        { "3-9", 4, { 2, 3 } },
        { "5", 3, {} },
        { "x,2", 3, { 1 } },
        { "1", 0, {} },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReportDocument::pagesOf(QLatin1String(c.range), c.pages), c.expected) << c.range;
}

TEST_F(ReportEngineTest, TemplateOfSeveralPagesPrintsItsFirstPageOnly)
{
    ReportDocument report;
    report.setTemplate(ReportTemplate::fromText(
        QStringLiteral("<p>PAGEONE [qrResult.GovNumber]</p>"
                       "<p style=\"page-break-before: always\">PAGETWO</p>"
                       "<p style=\"page-break-before: always\">PAGETHREE</p>"),
        "three pages"));
    report.setData(storedReport());
    ASSERT_TRUE(report.PrepareReport());
    ASSERT_EQ(report.pageCount(), 3);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path("printed.pdf"));
    report.PrintPreparedReport(printer, QStringLiteral("1"), 1);
    EXPECT_EQ(pdfPages(path("printed.pdf")), 1);
    const QString text = pdfText(path("printed.pdf"));
    EXPECT_TRUE(text.contains(QLatin1String("PAGEONE"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("PAGETWO")));

    // Two copies on a printer that cannot make copies: each drawn.
    printer.setOutputFileName(path("two.pdf"));
    report.PrintPreparedReport(printer, QStringLiteral("1"), 2);
    EXPECT_EQ(pdfPages(path("two.pdf")), 2);
}

TEST_F(ReportEngineTest, StoredResultAsPdfCarriesValuesAndVerdicts)
{
    ReportDocument report;
    report.LoadFromFile(shippedTemplate());
    report.setData(storedReport());
    ASSERT_TRUE(report.PrepareReport());
    EXPECT_EQ(report.pageCount(), 1);
    report.exportPdf(path("report.pdf"));
    if (!qEnvironmentVariableIsEmpty("ZELMOR_REPORT_SHOTS"))
        QFile::copy(
            path("report.pdf"), qEnvironmentVariable("ZELMOR_REPORT_SHOTS") + "/report.pdf");
    const QString text = pdfText(path("report.pdf"));
    for (const char *expected :
        { "ПРОТОКОЛ № 42", "Пункт ТО № 3", "23.02.2009", "14:03:27", "1234", "Нейтрализатор", "M1",
            "нейтрализатор, лямбда-зонд", "А123ВС77", "0,62", "≤ 0,5", "вне нормы", "в норме",
            "800 ± 50", "2810", "не соответствует", "Оператор Иванов И. И.",
            "С-12/345 действительно до 31.12.2009", "Бортовая диагностика: не проводилась" })
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
}

TEST_F(ReportEngineTest, StoredResultAsImageIsAWholeA4SheetWithText)
{
    ReportDocument report;
    report.LoadFromFile(shippedTemplate());
    report.setData(storedReport());
    ASSERT_TRUE(report.PrepareReport());
    const QImage image = report.renderImage(0, 96);
    EXPECT_EQ(image.size(), QSize(794, 1123));
    // Ink in the text area, none in the left margin.
    int inkInText = 0, inkInMargin = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            if (qGray(image.pixel(x, y)) > 128)
                continue;
            if (x < 40)
                ++inkInMargin;
            else
                ++inkInText;
        }
    }
    EXPECT_GT(inkInText, 2000);
    EXPECT_EQ(inkInMargin, 0);
    // A page that is not there draws nothing.
    const QImage blank = report.renderImage(5, 24);
    EXPECT_EQ(blank.pixel(100, 100), qRgb(255, 255, 255));
}

TEST_F(ReportEngineTest, WithoutPrinterTheReportGoesIntoAPdfBelowTheProgramFolder)
{
    ReportDocument report;
    report.LoadFromFile(shippedTemplate());
    report.setData(storedReport());
    ASSERT_TRUE(report.PrepareReport());
    QPrinter printer; // no printer installed: nothing to print on
    const QDateTime now(QDate(2009, 2, 23), QTime(14, 5, 0));
    const QString folder = dir.path() + QLatin1Char('/');

    const PrintOutcome first = ReportPrintJob::print(report, printer, "1", 1, {}, folder, now);
    ASSERT_EQ(first.kind, PrintOutcome::Kind::SavedAsPdf) << first.error.toStdString();
    EXPECT_EQ(first.path, folder + QStringLiteral("reports/2009-02-23_14-05-00_А123ВС77.pdf"));
    EXPECT_TRUE(pdfText(first.path).contains(QStringLiteral("А123ВС77")));

    // The same second again: a second file, the first kept.
    const PrintOutcome second = ReportPrintJob::print(report, printer, "1", 1, {}, folder, now);
    EXPECT_EQ(second.path, folder + QStringLiteral("reports/2009-02-23_14-05-00_А123ВС77_2.pdf"));
    EXPECT_TRUE(QFileInfo::exists(first.path));

    // A chosen printer that is gone is no printer either.
    printer.setPrinterName(QStringLiteral("Office"));
    EXPECT_FALSE(ReportPrintJob::canPrint(printer, { QStringLiteral("Lab") }));

    // A number with characters a file name cannot hold keeps the rest.
    EXPECT_EQ(ReportPrintJob::fallbackPath(folder, now, QStringLiteral("../A 1/2")),
        folder + QStringLiteral("reports/2009-02-23_14-05-00_A12.pdf"));

    // A folder that cannot be made: a failure with a reason, not a success.
    writeFile(path("blocked/reports"), QStringLiteral("a file where the folder should be"));
    const PrintOutcome blocked
        = ReportPrintJob::print(report, printer, "1", 1, {}, path("blocked/"), now);
    EXPECT_EQ(blocked.kind, PrintOutcome::Kind::Failed);
    EXPECT_FALSE(blocked.error.isEmpty());
}

} // namespace
