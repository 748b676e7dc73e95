#include "tables/ModelLimits.h"

#include <cmath>

std::array<float, ModelLimits::Count> ModelLimits::limitSet() const
{
    return { float(MinCO), float(MinCH), float(MinCO2), float(MinO2), float(MinNOx), float(MinTax),
        float(MinLambda), float(MinTaxD), float(MaxCO), float(MaxCH), float(MaxCO2), float(MaxO2),
        float(MaxNOx), float(MaxTax), float(MaxLambda), float(MaxTaxD) };
}

ModelLimits::Window ModelLimits::speedWindow(Step step) const
{
    const double nominal = step == MinimumSpeed ? MinTax : MaxTax;
    const double deviation = std::fabs(step == MinimumSpeed ? MinTaxD : MaxTaxD);
    return { nominal - deviation, nominal + deviation };
}

ModelLimits::Window ModelLimits::lambdaWindow(Step step) const
{
    const double nominal = step == MinimumSpeed ? MinLambda : MaxLambda;
    const double deviation = std::fabs(nominal * LambdaWindowShare);
    return { nominal - deviation, nominal + deviation };
}
