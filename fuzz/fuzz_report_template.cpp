// Feeds arbitrary text to the report template reader and checks what the
// program relies on: a template is either refused with a message or filled
// without a crash; a text without names comes back unchanged.
#include "common/ZelmorError.h"
#include "report/ReportTemplate.h"

#include <QByteArray>
#include <QDate>
#include <cstdint>
#include <cstdlib>

namespace {

ReportData sample()
{
    ReportData d;
    d.qrResult = { { "Index", 7 }, { "Date", QDate(2009, 2, 23) }, { "Time", "14:03:27" },
        { "GovNumber", QStringLiteral("[qrResult.MinCO]") }, { "MinCO", 0.6 },
        { "MinTax", 810.0 } };
    d.qrModel = { { "Name", QStringLiteral("<b>") }, { "MinCO", 0.5 }, { "MinTax", 800.0 },
        { "MinTaxD", 50.0 }, { "MinLambda", 1.0 } };
    d.edReportPlace = QStringLiteral("[edReportPlace]");
    return d;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        const ReportTemplate t = ReportTemplate::fromText(text, QStringLiteral("fuzz"));
        const QString html = t.fill(sample());
        // Without a bracket there is nothing to replace and nothing may change.
        if (!text.contains(QLatin1Char('[')) && html != text)
            std::abort();
    } catch (const ZelmorError &e) {
        // A refusal says where: the line of the unknown name.
        if (!e.message().contains(QStringLiteral("строка")))
            std::abort();
    }
    return 0;
}
