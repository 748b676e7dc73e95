#include "report/ReportJudgement.h"

#include "common/NumberText.h"
#include "tables/FieldNames.h"

#include <cmath>

namespace {

// Stored means and limits come from rounded decimal texts; a mean equal to
// its limit must not fail by a last-bit difference.
bool exceeds(double value, double limit)
{
    return value > limit + 1e-9 * std::max(1.0, std::fabs(limit));
}

const QString NoLimitText = QStringLiteral("—");

bool isSpeed(const QString &field)
{
    return field.endsWith(QLatin1String("Tax"));
}
bool isLambda(const QString &field)
{
    return field.endsWith(QLatin1String("Lambda"));
}

} // namespace

std::optional<double> numberField(const QVariantMap &row, const QString &field)
{
    const QVariant value = row.value(field);
    if (value.isNull() || value.toString().trimmed().isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

Verdict ReportJudgement::judgeUpperLimit(std::optional<double> measured, double limit)
{
    if (!measured)
        return Verdict::NoValue;
    if (limit == 0)
        return Verdict::NoLimit;
    return exceeds(*measured, limit) ? Verdict::Beyond : Verdict::Within;
}

Verdict ReportJudgement::judgeWindow(
    std::optional<double> measured, double nominal, double deviation)
{
    if (!measured)
        return Verdict::NoValue;
    if (nominal == 0 || deviation == 0)
        return Verdict::NoLimit;
    const double low = nominal - std::fabs(deviation);
    const double high = nominal + std::fabs(deviation);
    return exceeds(*measured, high) || exceeds(low, *measured) ? Verdict::Beyond : Verdict::Within;
}

ReportJudgement ReportJudgement::judge(const QVariantMap &result, const QVariantMap &model)
{
    ReportJudgement j;
    const bool haveModel = !model.isEmpty();
    bool beyond = false;
    for (const char *name : FieldNames::Results) {
        const QString field = QLatin1String(name);
        const std::optional<double> measured = numberField(result, field);
        Entry e;
        if (!haveModel) {
            e.verdict = measured ? Verdict::NoLimit : Verdict::NoValue;
            e.limit = QString();
        } else if (isSpeed(field)) {
            const double nominal = numberField(model, field).value_or(0);
            const double deviation = numberField(model, field + QLatin1Char('D')).value_or(0);
            e.verdict = judgeWindow(measured, nominal, deviation);
            e.limit = nominal == 0 ? NoLimitText
                : deviation == 0
                ? generalText(nominal)
                : generalText(nominal) + QStringLiteral(" ± ") + generalText(std::fabs(deviation));
        } else if (isLambda(field)) {
            const double nominal = numberField(model, field).value_or(0);
            const double deviation = nominal * LambdaWindowShare;
            e.verdict = judgeWindow(measured, nominal, deviation);
            e.limit = nominal == 0 ? NoLimitText
                                   : generalText(nominal - std::fabs(deviation))
                    + QStringLiteral(" … ") + generalText(nominal + std::fabs(deviation));
        } else {
            const double limit = numberField(model, field).value_or(0);
            e.verdict = judgeUpperLimit(measured, limit);
            e.limit = limit == 0 ? NoLimitText : QStringLiteral("≤ ") + generalText(limit);
        }
        beyond = beyond || e.verdict == Verdict::Beyond;
        j.m_entries.insert(field, e);
    }
    if (result.isEmpty() || !haveModel)
        j.m_overall = Verdict::NoValue;
    else
        j.m_overall = beyond ? Verdict::Beyond : Verdict::Within;
    return j;
}

Verdict ReportJudgement::verdict(const QString &field) const
{
    return m_entries.value(field).verdict;
}

QString ReportJudgement::limitText(const QString &field) const
{
    return m_entries.value(field).limit;
}

QString ReportJudgement::verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Within:
        return QStringLiteral("в норме");
    case Verdict::Beyond:
        return QStringLiteral("вне нормы");
    case Verdict::NoLimit:
        return NoLimitText;
    case Verdict::NoValue:
        break;
    }
    return QString();
}

QString ReportJudgement::overallText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Within:
        return QStringLiteral("соответствует");
    case Verdict::Beyond:
        return QStringLiteral("не соответствует");
    default:
        return QStringLiteral("не определено");
    }
}

QString ReportJudgement::markName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Within:
        return QStringLiteral("within");
    case Verdict::Beyond:
        return QStringLiteral("beyond");
    case Verdict::NoLimit:
        return QStringLiteral("nolimit");
    case Verdict::NoValue:
        break;
    }
    return QStringLiteral("novalue");
}
