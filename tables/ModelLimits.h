#pragma once

#include <array>

// The sixteen emission limits of one car model, named as the models table
// names its fields. Empty fields read as 0.
struct ModelLimits
{
    double MinTax = 0, MinTaxD = 0, MinCO = 0, MinCH = 0, MinCO2 = 0, MinO2 = 0, MinNOx = 0,
           MinLambda = 0;
    double MaxTax = 0, MaxTaxD = 0, MaxCO = 0, MaxCH = 0, MaxCO2 = 0, MaxO2 = 0, MaxNOx = 0,
           MaxLambda = 0;

    static constexpr int Count = 16;

    // The limit set in the order the gas graph takes it: MinCO, MinCH, MinCO2,
    // MinO2, MinNOx, MinTax, MinLambda, MinTaxD, then the same eight for the
    // raised speed. Values are narrowed to single precision as the graph keeps them.
    std::array<float, Count> limitSet() const;

    // The windows a step is measured in, as the gauges colour them and the
    // judgement of a stored result applies them: engine speed nominal ±
    // allowed deviation, lambda half to one and a half times its nominal.
    enum Step { MinimumSpeed, RaisedSpeed };
    static constexpr double LambdaWindowShare = 0.5;
    struct Window
    {
        double low = 0, high = 0;
    };
    Window speedWindow(Step step) const;
    Window lambdaWindow(Step step) const;

    // Gauge windows set when a vehicle is chosen (the minimum speed step).
    float speedWindowLow() const { return float(speedWindow(MinimumSpeed).low); }
    float speedWindowHigh() const { return float(speedWindow(MinimumSpeed).high); }
    float lambdaWindowLow() const { return float(lambdaWindow(MinimumSpeed).low); }
    float lambdaWindowHigh() const { return float(lambdaWindow(MinimumSpeed).high); }
    static constexpr float TempWindowLow = 55.0f;
    static constexpr float TempWindowHigh = 65.0f;
};
