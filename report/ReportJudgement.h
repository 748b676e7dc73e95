#pragma once

#include <QHash>
#include <QString>
#include <QVariantMap>
#include <optional>

// How a measured mean stands against its model's limit.
enum class Verdict {
    NoValue, // nothing measured (no report, or an empty field)
    NoLimit, // the model sets no limit for it (a limit of 0)
    Within,
    Beyond,
};

// The judgement of a stored result against its model, as the printed report
// and the report browser show it:
// - gases (CO, CH, CO2, O2, NOx): the mean must not exceed the limit;
// - engine speed: the mean must lie within nominal ± allowed deviation;
// - lambda: the mean must lie within the model's lambda window, half to one
//   and a half times the nominal value, as the lambda gauge of the measuring
//   page judges it.
// A limit (or nominal value, or deviation) of 0 sets no limit. The overall
// verdict is Beyond when any value is beyond its limit, Within when none is,
// and NoValue when there is no report or its model no longer exists.
class ReportJudgement
{
public:
    static constexpr double LambdaWindowShare = 0.5;

    static Verdict judgeUpperLimit(std::optional<double> measured, double limit);
    static Verdict judgeWindow(std::optional<double> measured, double nominal, double deviation);

    // result: fields of a "reports.db" row; model: fields of its "models.DB" row.
    static ReportJudgement judge(const QVariantMap &result, const QVariantMap &model);

    // field: one of the fourteen result fields, e.g. "MinCO", "MaxLambda".
    Verdict verdict(const QString &field) const;
    // The limit as the report prints it: "≤ 0,5", "800 ± 50", "0,5 … 1,5", or "—".
    QString limitText(const QString &field) const;
    Verdict overall() const { return m_overall; }

    // "в норме", "вне нормы", "—" (no limit), "" (no value).
    static QString verdictText(Verdict verdict);
    // "соответствует", "не соответствует", "не определено".
    static QString overallText(Verdict verdict);
    // A class name for the template's style sheet: "within", "beyond", "nolimit", "novalue".
    static QString markName(Verdict verdict);

private:
    struct Entry
    {
        Verdict verdict = Verdict::NoValue;
        QString limit;
    };
    QHash<QString, Entry> m_entries;
    Verdict m_overall = Verdict::NoValue;
};

// A number field of a row; nullopt when missing, empty or not a number.
std::optional<double> numberField(const QVariantMap &row, const QString &field);
