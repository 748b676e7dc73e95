#include "report/ReportJudgement.h"

#include "common/NumberText.h"
#include "tables/FieldNames.h"

#include <cmath>

namespace {

// Digits kept when a lambda is written with its decimals.
constexpr int LambdaPrecision = 15;

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

QString numberText(const QString &field, double value)
{
    if (FieldNames::isLambda(field.toStdString()))
        return fixedText(value, LambdaPrecision, FieldNames::LambdaDecimals);
    return generalText(value);
}

Judgement::Means ReportJudgement::meansOf(const QVariantMap &result)
{
    Judgement::Means means;
    for (std::size_t i = 0; i < FieldNames::Results.size(); ++i)
        means[i] = numberField(result, QLatin1String(FieldNames::Results[i]));
    return means;
}

std::optional<ModelLimits> ReportJudgement::limitsOf(const QVariantMap &model)
{
    if (model.isEmpty())
        return std::nullopt;
    ModelLimits limits;
    for (std::size_t i = 0; i < FieldNames::Limits.size(); ++i)
        limits.*FieldNames::LimitMembers[i]
            = numberField(model, QLatin1String(FieldNames::Limits[i])).value_or(0);
    return limits;
}

ReportJudgement ReportJudgement::judge(const QVariantMap &result, const QVariantMap &model)
{
    ReportJudgement j;
    j.m_hasResult = !result.isEmpty();
    j.m_limits = limitsOf(model);
    j.m_outcome = Judgement::judge(meansOf(result), j.m_limits);
    return j;
}

Verdict ReportJudgement::verdict(const QString &field) const
{
    return m_outcome.verdict(field.toStdString());
}

QString ReportJudgement::limitText(const QString &field) const
{
    if (!m_limits)
        return QString();
    const std::string name = field.toStdString();
    const std::optional<ModelLimits::Window> window = Judgement::limitOf(name, *m_limits);
    if (!window)
        return QStringLiteral("—");
    switch (Judgement::ruleOf(name)) {
    case Judgement::Rule::Speed: {
        const double half = (window->high - window->low) / 2;
        return generalText(window->low + half) + QStringLiteral(" ± ") + generalText(half);
    }
    case Judgement::Rule::Lambda:
        return numberText(field, window->low) + QStringLiteral(" … ")
            + numberText(field, window->high);
    case Judgement::Rule::UpperLimit:
        return QStringLiteral("≤ ") + generalText(window->high);
    case Judgement::Rule::Shown:
        break;
    }
    return QStringLiteral("—");
}

QString ReportJudgement::conclusionText() const
{
    return m_hasResult ? QString::fromStdString(Judgement::conclusionText(m_outcome)) : QString();
}

QString ReportJudgement::verdictText(Verdict verdict)
{
    return QString::fromUtf8(Judgement::verdictText(verdict));
}

QString ReportJudgement::overallText(Conclusion conclusion)
{
    switch (conclusion) {
    case Conclusion::Complies:
        return QStringLiteral("соответствует");
    case Conclusion::Fails:
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
    case Verdict::SpeedOutside:
        return QStringLiteral("invalid");
    case Verdict::NoLimit:
        return QStringLiteral("nolimit");
    case Verdict::NoValue:
        break;
    }
    return QStringLiteral("novalue");
}

QString ReportJudgement::markName(Conclusion conclusion)
{
    switch (conclusion) {
    case Conclusion::Complies:
        return QStringLiteral("within");
    case Conclusion::Fails:
        return QStringLiteral("beyond");
    case Conclusion::Invalid:
        return QStringLiteral("invalid");
    case Conclusion::Undetermined:
        break;
    }
    return QStringLiteral("novalue");
}
