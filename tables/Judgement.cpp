#include "tables/Judgement.h"

#include <cmath>
#include <limits>

namespace Judgement {

namespace {

constexpr std::size_t StepFields = FieldNames::Results.size() / 2;

// Stored means and limits come from rounded decimal texts; a mean equal to
// its limit must not fail by a last-bit difference.
bool exceeds(double value, double limit)
{
    return value > limit + 1e-9 * std::max(1.0, std::fabs(limit));
}

ModelLimits::Step stepOf(std::string_view field)
{
    return field.substr(0, 3) == "Min" ? ModelLimits::MinimumSpeed : ModelLimits::RaisedSpeed;
}

// The limit of a gas: the limit field of the same name.
double gasLimit(std::string_view field, const ModelLimits &limits)
{
    for (std::size_t i = 0; i < FieldNames::Limits.size(); ++i)
        if (field == FieldNames::Limits[i])
            return limits.*FieldNames::LimitMembers[i];
    return 0;
}

} // namespace

Rule ruleOf(std::string_view field)
{
    const std::string_view what = field.substr(3); // after "Min" or "Max"
    if (what == "Tax")
        return Rule::Speed;
    if (what == "CO" || what == "CH")
        return Rule::UpperLimit;
    if (what == "Lambda")
        return Rule::Lambda;
    return Rule::Shown;
}

std::optional<ModelLimits::Window> limitOf(std::string_view field, const ModelLimits &limits)
{
    const ModelLimits::Step step = stepOf(field);
    switch (ruleOf(field)) {
    case Rule::Speed: {
        const bool raised = step == ModelLimits::RaisedSpeed;
        if ((raised ? limits.MaxTax : limits.MinTax) == 0
            || (raised ? limits.MaxTaxD : limits.MinTaxD) == 0)
            return std::nullopt;
        return limits.speedWindow(step);
    }
    case Rule::Lambda:
        if ((step == ModelLimits::RaisedSpeed ? limits.MaxLambda : limits.MinLambda) == 0)
            return std::nullopt;
        return limits.lambdaWindow(step);
    case Rule::UpperLimit:
        if (const double limit = gasLimit(field, limits); limit != 0)
            return ModelLimits::Window { -std::numeric_limits<double>::infinity(), limit };
        return std::nullopt;
    case Rule::Shown:
        break;
    }
    return std::nullopt;
}

Verdict Outcome::verdict(std::string_view field) const
{
    for (std::size_t i = 0; i < FieldNames::Results.size(); ++i)
        if (field == FieldNames::Results[i])
            return verdicts[i];
    return Verdict::NoValue;
}

Outcome judge(const Means &means, const std::optional<ModelLimits> &limits)
{
    Outcome out;
    bool anyMeasured = false, unmeasuredLimit = false, beyond = false, judged = false;
    for (std::size_t i = 0; i < FieldNames::Results.size(); ++i) {
        const std::string_view field = FieldNames::Results[i];
        std::optional<double> value = means[i];
        // The instrument gives lambda -1 when it has none to give.
        if (value && ruleOf(field) == Rule::Lambda && *value < 0)
            value.reset();
        anyMeasured = anyMeasured || value.has_value();
        const std::optional<ModelLimits::Window> window
            = limits ? limitOf(field, *limits) : std::nullopt;
        Verdict &v = out.verdicts[i];
        if (!value) {
            v = Verdict::NoValue;
            unmeasuredLimit = unmeasuredLimit || window.has_value();
        } else if (!window) {
            v = Verdict::NoLimit;
        } else if (!exceeds(*value, window->high) && !exceeds(window->low, *value)) {
            v = Verdict::Within;
        } else if (ruleOf(field) == Rule::Speed) {
            v = Verdict::SpeedOutside;
            out.stepInvalid[i / StepFields] = true;
        } else {
            v = Verdict::Beyond;
        }
        beyond = beyond || v == Verdict::Beyond;
        judged = judged || (v == Verdict::Within && ruleOf(field) != Rule::Speed);
    }
    if (!limits || !anyMeasured)
        out.conclusion = Conclusion::Undetermined;
    else if (out.stepInvalid[0] || out.stepInvalid[1])
        out.conclusion = Conclusion::Invalid;
    else if (beyond)
        out.conclusion = Conclusion::Fails;
    else if (unmeasuredLimit || !judged)
        out.conclusion = Conclusion::Undetermined;
    else
        out.conclusion = Conclusion::Complies;
    return out;
}

const char *verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Within:
        return "в норме";
    case Verdict::Beyond:
        return "вне нормы";
    case Verdict::SpeedOutside:
        return "частота вращения вне допуска";
    case Verdict::NoLimit:
        return "—";
    case Verdict::NoValue:
        break;
    }
    return "";
}

std::string conclusionText(const Outcome &outcome)
{
    const char *const norms = " установленным нормативам содержания вредных веществ в "
                              "отработавших газах";
    switch (outcome.conclusion) {
    case Conclusion::Complies:
        return std::string("автомобиль соответствует") + norms;
    case Conclusion::Fails:
        return std::string("автомобиль не соответствует") + norms;
    case Conclusion::Invalid: {
        const char *steps = outcome.stepInvalid[0] && outcome.stepInvalid[1]
            ? "на обеих частотах вращения"
            : outcome.stepInvalid[0] ? "на минимальной частоте вращения"
                                     : "на повышенной частоте вращения";
        return std::string("измерение недействительно: частота вращения вне допуска ") + steps
            + "; измерение необходимо повторить";
    }
    case Conclusion::Undetermined:
        break;
    }
    return "соответствие установленным нормативам не определено";
}

} // namespace Judgement
