#pragma once

#include "tables/Judgement.h"

#include <QString>
#include <QVariantMap>
#include <optional>

using Verdict = Judgement::Verdict;
using Conclusion = Judgement::Conclusion;

// The judgement of a shown or printed report (Judgement, the one rule for
// the browser, the report and the export) with the texts they show: the
// result's fields by name against its model's fields by name (the limits the
// result was stored with, or the model's current ones for an older row).
class ReportJudgement
{
public:
    // result: fields of a "reports.db" row; model: the sixteen limits by
    // name, empty when the model is unknown.
    static ReportJudgement judge(const QVariantMap &result, const QVariantMap &model);

    static Judgement::Means meansOf(const QVariantMap &result);
    static std::optional<ModelLimits> limitsOf(const QVariantMap &model);

    // field: one of the fourteen result fields, e.g. "MinCO", "MaxLambda".
    Verdict verdict(const QString &field) const;
    // The limit as the report prints it: "≤ 0,5", "800 ± 50", "0,50 … 1,50",
    // "—" when not judged, "" when the model is unknown.
    QString limitText(const QString &field) const;
    Conclusion conclusion() const { return m_outcome.conclusion; }
    const Judgement::Outcome &outcome() const { return m_outcome; }
    // The whole sentence of the report's conclusion, "" without a result.
    QString conclusionText() const;

    static QString verdictText(Verdict verdict);
    // "соответствует", "не соответствует", "не определено" (also for an
    // invalid measurement: it says nothing of the vehicle).
    static QString overallText(Conclusion conclusion);
    // A class name for the template's style sheet: "within", "beyond",
    // "invalid", "nolimit", "novalue".
    static QString markName(Verdict verdict);
    static QString markName(Conclusion conclusion);

private:
    Judgement::Outcome m_outcome;
    std::optional<ModelLimits> m_limits;
    bool m_hasResult = false;
};

// A number field of a row; nullopt when missing, empty or not a number.
std::optional<double> numberField(const QVariantMap &row, const QString &field);
// A lambda with its decimals, any other number in the general format.
QString numberText(const QString &field, double value);
