#include "app/OperationTicker.h"

#include "common/NumberText.h"

namespace {

const char *const WarmUpCaption = "Время прогрева:";
const char *const WorkCaption = "Время работы:";
const char *const NoLinkText = "Нет связи!";
constexpr int PressureDigits = 3;
constexpr int PressureDecimals = 1;

} // namespace

OperationTick OperationTicker::tick(const ZmxSnapshot &snapshot)
{
    OperationTick out;
    out.statusText = snapshot.StatusText;

    switch (snapshot.DataKind) {
    case DataKindWarmUp: {
        const WarmUpRecord &w = snapshot.LastWarmUp;
        out.branch = OperationTick::Branch::WarmUp;
        out.timeName = QString::fromUtf8(WarmUpCaption);
        out.workTime = warmUpTimeText(w.warmUpSeconds);
        out.warmedUp = false;
        out.termF = QString::number(w.term_f);
        out.termQ = QString::number(w.term_q);
        break;
    }
    case DataKindResult: {
        const ResultRecord &r = snapshot.LastResult;
        out.branch = OperationTick::Branch::Readings;
        out.timeName = QString::fromUtf8(WorkCaption);
        out.workTime = workTimeText(r.tick_ms);
        out.pressure = pressureText(r.paskal);
        out.termF = QString::number(r.term_f);
        out.termQ = QString::number(r.term_q);
        out.warmedUp = true;
        out.showPanelMeasure = true;

        if (snapshot.RecordCount == m_lastRecordCount)
            ++m_staleTicks;
        else
            m_staleTicks = 0;
        if (m_staleTicks > MaxStaleTicks) {
            m_staleTicks = 0;
            out.branch = OperationTick::Branch::LinkLost;
            out.statusText = QString::fromUtf8(NoLinkText);
        } else {
            m_lastRecordCount = snapshot.RecordCount;
            out.newRecord = m_staleTicks == 0;
        }
        break;
    }
    case DataKindProgress:
        out.branch = OperationTick::Branch::Procedure;
        out.showPanelMeasure = true;
        break;
    default:
        break;
    }
    return out;
}

GasGraphInput OperationTicker::gasGraphInput(const ZmxSnapshot &snapshot, TestOperation state)
{
    GasGraphInput in;
    const bool live = state == TestOperation::Live || state == TestOperation::MinSpeed
        || state == TestOperation::RaisedSpeed;
    if (!live) {
        in.zeroed = true;
        return in;
    }
    const ResultRecord &r = snapshot.LastResult;
    in.values = { r.gaseCO, double(r.gaseCH) * double(r.pr_ekv), r.gaseCO2, r.gaseO2, r.gaseNOx,
        double(r.tax), double(r.term_m), r.lyambda };
    return in;
}

QString OperationTicker::warmUpTimeText(int seconds)
{
    return QString::asprintf("%.2d:%.2d", (seconds - seconds % 60) / 60, seconds % 60);
}

QString OperationTicker::workTimeText(quint32 tickMs)
{
    const quint32 s = tickMs / 1000;
    return QString::asprintf("%.2u:%.2u:%.2u", s / 3600, (s / 60) % 60, s % 60);
}

QString OperationTicker::pressureText(double pascal)
{
    return fixedText(pascal * MmHgPerPascal, PressureDigits, PressureDecimals);
}
