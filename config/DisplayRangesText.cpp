#include "config/DisplayRangesText.h"

#include "common/NumberText.h"

#include <cmath>

namespace DisplayRangesText {

namespace {

const char *const GasNames[DisplayLimits::GasCount] = { "CO", "CH", "CO2", "O2", "NOx" };

// CH and NOx are counted in ppm, the others in per cent.
bool isPpm(int gas)
{
    return gas == 1 || gas == 4;
}

QString limitText(float value, int gas, QChar separator)
{
    return isPpm(gas) ? fixedText(value, 5, 1, separator) : fixedText(value, 3, 3, separator);
}

} // namespace

Texts format(const DisplayLimits &limits, QChar decimalSeparator)
{
    Texts texts;
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        texts[2 * gas] = limitText(limits.Low[gas], gas, decimalSeparator);
        texts[2 * gas + 1] = limitText(limits.High[gas], gas, decimalSeparator);
    }
    return texts;
}

Reading read(const Texts &texts, QChar decimalSeparator)
{
    Reading reading;
    std::array<float, EditCount> values {};
    for (int i = 0; i < EditCount; ++i) {
        const auto value = tryStrToFloat(texts[i], decimalSeparator);
        if (!value) {
            reading.BadEdit = i;
            reading.Error
                = QStringLiteral("'%1' is not a valid floating point value").arg(texts[i]);
            return reading;
        }
        values[i] = float(*value);
        if (!std::isfinite(values[i])) {
            reading.BadEdit = i;
            reading.Error = QStringLiteral("Число '%1' слишком велико для границы.").arg(texts[i]);
            return reading;
        }
    }
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        const float low = values[2 * gas];
        const float high = values[2 * gas + 1];
        if (!(low < high)) {
            // A scale whose ends meet or cross cannot be drawn.
            reading.BadEdit = 2 * gas;
            reading.Error
                = QStringLiteral("Нижняя граница %1 (%2) должна быть меньше верхней (%3). "
                                 "Диапазоны не применены.")
                      .arg(QLatin1String(GasNames[gas]), limitText(low, gas, decimalSeparator),
                          limitText(high, gas, decimalSeparator));
            return reading;
        }
        reading.Limits.Low[gas] = low;
        reading.Limits.High[gas] = high;
    }
    reading.Ok = true;
    return reading;
}

} // namespace DisplayRangesText
