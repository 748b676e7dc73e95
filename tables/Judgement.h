#pragma once

#include "tables/FieldNames.h"
#include "tables/ModelLimits.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The one judgement of a stored result against the limits it is judged by,
// for the report browser, the printed report and the export alike:
// - the engine speed of a step must lie within nominal ± allowed deviation;
//   outside it the step was not measured under the required conditions, and
//   the result is an invalid measurement to repeat, never an emission failure;
// - CO and CH must not exceed their limits;
// - lambda must lie within the window the gauges use, where the model sets a
//   nominal lambda;
// - CO2, O2 and NOx are shown, not judged.
// A limit, nominal value or deviation of 0 sets no limit. Texts are UTF-8.
namespace Judgement {

enum class Verdict {
    NoValue, // nothing measured (no report, an empty field, lambda -1)
    NoLimit, // not judged: no limit set, or a value that is only shown
    Within,
    Beyond,
    SpeedOutside, // engine speed outside its window: the step is invalid
};

enum class Conclusion {
    Undetermined, // no limits, or a limited value was not measured
    Complies,
    Fails,
    Invalid, // an engine speed outside its window: measure again
};

// How a result field is judged.
enum class Rule { Speed, UpperLimit, Lambda, Shown };
Rule ruleOf(std::string_view resultField);

// The limit a result field is judged against: the window of a speed or a
// lambda, [-inf, limit] of a gas; nullopt when it is not judged.
std::optional<ModelLimits::Window> limitOf(std::string_view resultField, const ModelLimits &limits);

// The fourteen means in FieldNames::Results order; nullopt when empty.
using Means = std::array<std::optional<double>, FieldNames::Results.size()>;

struct Outcome
{
    std::array<Verdict, FieldNames::Results.size()> verdicts {}; // Results order
    std::array<bool, 2> stepInvalid {}; // minimum speed, raised speed
    Conclusion conclusion = Conclusion::Undetermined;

    Verdict verdict(std::string_view resultField) const;
};

// limits: what the result is judged by; none when its model is unknown.
Outcome judge(const Means &means, const std::optional<ModelLimits> &limits);

// "в норме", "вне нормы", "частота вращения вне допуска", "—" (not judged),
// "" (no value).
const char *verdictText(Verdict verdict);
// The conclusion as one sentence, without its final stop.
std::string conclusionText(const Outcome &outcome);

} // namespace Judgement
