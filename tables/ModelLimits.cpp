#include "tables/ModelLimits.h"

std::array<float, ModelLimits::Count> ModelLimits::limitSet() const
{
    return { float(MinCO), float(MinCH), float(MinCO2), float(MinO2), float(MinNOx), float(MinTax),
        float(MinLambda), float(MinTaxD), float(MaxCO), float(MaxCH), float(MaxCO2), float(MaxO2),
        float(MaxNOx), float(MaxTax), float(MaxLambda), float(MaxTaxD) };
}
