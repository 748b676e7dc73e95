#include "database/ShippedModels.h"

namespace {

struct Limits
{
    double minTax, minTaxD, maxTax, maxTaxD;
    double minCO, minCH, maxCO, maxCH;
    double lambda;
};

// Without a catalyst: CO 3.5 % / CH 1200 ppm at idle, CO 2.0 % / CH 600 ppm raised.
constexpr Limits NoCatalyst { 800, 50, 2500, 100, 3.5, 1200, 2.0, 600, 1.0 };
// Three-way catalyst with lambda control.
constexpr Limits Catalyst { 800, 50, 2800, 100, 0.5, 200, 0.3, 100, 1.0 };
constexpr Limits CatalystVan { 850, 50, 2500, 100, 0.5, 100, 0.3, 100, 1.0 };
// Newer emission classes.
constexpr Limits Recent { 750, 50, 3000, 100, 0.3, 100, 0.2, 100, 1.0 };

ModelRecord model(const char *name, const char *saveSystem, const char *category, const Limits &l)
{
    ModelRecord m;
    m.Name = QString::fromUtf8(name);
    m.SaveSystem = QString::fromUtf8(saveSystem);
    m.Category = QString::fromUtf8(category);
    ModelLimits &x = m.limits;
    x.MinTax = l.minTax;
    x.MinTaxD = l.minTaxD;
    x.MinCO = l.minCO;
    x.MinCH = l.minCH;
    x.MinLambda = l.lambda;
    x.MaxTax = l.maxTax;
    x.MaxTaxD = l.maxTaxD;
    x.MaxCO = l.maxCO;
    x.MaxCH = l.maxCH;
    x.MaxLambda = l.lambda;
    return m;
}

} // namespace

QList<ModelRecord> shippedModels()
{
    return {
        model("Карбюратор", "нет", "M1", NoCatalyst),
        model("Впрыск", "нет", "M1", NoCatalyst),
        model("Нейтрализатор", "нейтрализатор, лямбда-зонд", "M1", Catalyst),
        model("Евро-3 и выше", "нейтрализатор, лямбда-зонд", "M1", Recent),
        model("Фургон, карб.", "нет", "N1", NoCatalyst),
        model("Фургон, нейтр.", "нейтрализатор, лямбда-зонд", "N1", CatalystVan),
        model("Фургон, Евро-3", "нейтрализатор, лямбда-зонд", "N1", Recent),
    };
}
