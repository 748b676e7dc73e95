#include "app/OperationTicker.h"
#include "app/StatusBlink.h"
#include "common/FormatSettings.h"

#include <gtest/gtest.h>

namespace {

ZmxSnapshot readings(int recordCount)
{
    ZmxSnapshot s;
    s.StatusText = QStringLiteral("Приём показаний прибора...");
    s.DataKind = DataKindResult;
    s.RecordCount = recordCount;
    s.LastResult.gaseCO = 1.5f;
    s.LastResult.gaseCH = 200;
    s.LastResult.pr_ekv = 0.5f;
    s.LastResult.gaseCO2 = 14;
    s.LastResult.gaseO2 = 0.8f;
    s.LastResult.gaseNOx = 900;
    s.LastResult.tax = 2500;
    s.LastResult.term_m = 61;
    s.LastResult.lyambda = 1.01f;
    s.LastResult.paskal = 99360;
    s.LastResult.tick_ms = 3723456;
    s.LastResult.term_f = 40;
    s.LastResult.term_q = -3;
    return s;
}

ZmxSnapshot warmUp(int seconds)
{
    ZmxSnapshot s;
    s.DataKind = DataKindWarmUp;
    s.LastWarmUp.warmUpSeconds = quint16(seconds);
    s.LastWarmUp.term_f = 25;
    s.LastWarmUp.term_q = 30;
    return s;
}

class DecimalComma : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }
    FormatSettings saved;
};

} // namespace

TEST(OperationTickerTexts, TimesAreWrittenAsTheInstrumentCountsThem)
{
    struct Case
    {
        int warmUpSeconds;
        const char *expected;
    };
    for (Case c : { Case { 425, "07:05" }, Case { 0, "00:00" }, Case { 59, "00:59" },
             Case { 6000, "100:00" }, Case { 65535, "1092:15" } })
        EXPECT_EQ(OperationTicker::warmUpTimeText(c.warmUpSeconds), QLatin1String(c.expected))
            << c.warmUpSeconds;

    struct WorkCase
    {
        quint32 ms;
        const char *expected;
    };
    for (WorkCase c : { WorkCase { 3723456, "01:02:03" }, WorkCase { 999, "00:00:00" },
             WorkCase { 360000000, "100:00:00" } })
        EXPECT_EQ(OperationTicker::workTimeText(c.ms), QLatin1String(c.expected)) << c.ms;
}

TEST_F(DecimalComma, PressureIsShownInMillimetresOfMercuryWithTheUsersSeparator)
{
    EXPECT_EQ(OperationTicker::pressureText(99360), QStringLiteral("745,0"));
    EXPECT_EQ(OperationTicker::pressureText(101325), QStringLiteral("760,0"));
    EXPECT_EQ(OperationTicker::pressureText(0), QStringLiteral("0,0"));
}

TEST_F(DecimalComma, ReadingsTickFillsTheInstrumentGroup)
{
    OperationTicker ticker;
    const OperationTick t = ticker.tick(readings(1));
    EXPECT_EQ(t.branch, OperationTick::Branch::Readings);
    EXPECT_EQ(*t.timeName, QStringLiteral("Время работы:"));
    EXPECT_EQ(*t.workTime, QStringLiteral("01:02:03"));
    EXPECT_EQ(*t.pressure, QStringLiteral("745,0"));
    EXPECT_EQ(*t.termF, QStringLiteral("40"));
    EXPECT_EQ(*t.termQ, QStringLiteral("-3"));
    EXPECT_TRUE(*t.warmedUp);
    EXPECT_TRUE(t.newRecord);
    EXPECT_TRUE(t.showPanelMeasure);
}

TEST(OperationTicker, WarmUpClearsWarmedUpAndLeavesThePressureAlone)
{
    OperationTicker ticker;
    const OperationTick t = ticker.tick(warmUp(425));
    EXPECT_EQ(t.branch, OperationTick::Branch::WarmUp);
    EXPECT_EQ(*t.timeName, QStringLiteral("Время прогрева:"));
    EXPECT_EQ(*t.workTime, QStringLiteral("07:05"));
    EXPECT_EQ(*t.termF, QStringLiteral("25"));
    EXPECT_EQ(*t.termQ, QStringLiteral("30"));
    EXPECT_FALSE(*t.warmedUp);
    EXPECT_FALSE(t.pressure.has_value());
}

TEST(OperationTicker, NoLinkOnTheSeventhStaleTickAndAgainSevenTicksLater)
{
    OperationTicker ticker;
    ASSERT_EQ(ticker.tick(readings(5)).branch, OperationTick::Branch::Readings);
    std::vector<int> lostAt;
    for (int stale = 1; stale <= 21; ++stale) {
        const OperationTick t = ticker.tick(readings(5));
        if (t.branch == OperationTick::Branch::LinkLost) {
            lostAt.push_back(stale);
            EXPECT_EQ(t.statusText, QStringLiteral("Нет связи!"));
        } else {
            EXPECT_EQ(t.statusText, QStringLiteral("Приём показаний прибора..."));
            EXPECT_FALSE(t.newRecord);
        }
    }
    EXPECT_EQ(lostAt, (std::vector<int> { 7, 14, 21 }));

    // A new record ends the silence at once.
    const OperationTick t = ticker.tick(readings(6));
    EXPECT_EQ(t.branch, OperationTick::Branch::Readings);
    EXPECT_TRUE(t.newRecord);
}

TEST(OperationTicker, OnlyReadingsAdvanceOrResetTheSilenceCount)
{
    OperationTicker ticker;
    ticker.tick(readings(5));
    for (int i = 0; i < 5; ++i)
        ticker.tick(readings(5));
    ASSERT_EQ(ticker.staleTicks(), 5);

    ZmxSnapshot progress;
    progress.DataKind = DataKindProgress;
    EXPECT_EQ(ticker.tick(progress).branch, OperationTick::Branch::Procedure);
    EXPECT_EQ(ticker.tick(warmUp(10)).branch, OperationTick::Branch::WarmUp);
    ZmxSnapshot drift;
    drift.DataKind = DataKindDrift;
    drift.StatusText = QStringLiteral("x");
    const OperationTick other = ticker.tick(drift);
    EXPECT_EQ(other.branch, OperationTick::Branch::Other);
    EXPECT_EQ(other.statusText, QStringLiteral("x"));
    EXPECT_FALSE(other.workTime.has_value());
    EXPECT_EQ(ticker.staleTicks(), 5);

    ticker.tick(readings(5));
    EXPECT_EQ(ticker.tick(readings(5)).branch, OperationTick::Branch::LinkLost);
}

TEST(GasGraphInput, LiveStatesShowTheReadingsWithChScaled)
{
    const ZmxSnapshot s = readings(1);
    for (TestOperation state :
        { TestOperation::Live, TestOperation::MinSpeed, TestOperation::RaisedSpeed }) {
        const GasGraphInput in = OperationTicker::gasGraphInput(s, state);
        EXPECT_FALSE(in.zeroed);
        const std::array<double, 8> expected { 1.5, 100, 14, double(0.8f), 900, 2500, 61,
            double(1.01f) };
        EXPECT_EQ(in.values, expected) << int(state);
    }
}

TEST(GasGraphInput, ZerosWhileNoLiveReadingMayBeShown)
{
    const ZmxSnapshot s = readings(1);
    for (TestOperation state :
        { TestOperation::Blank, TestOperation::ZeroCorrection, TestOperation::ReportSaved }) {
        const GasGraphInput in = OperationTicker::gasGraphInput(s, state);
        EXPECT_TRUE(in.zeroed);
        EXPECT_EQ(in.values, (std::array<double, 8> {})) << int(state);
        EXPECT_EQ(in.preValues, (std::array<double, 5> {}));
    }
}

TEST(StatusBlink, ShownThreeTicksHiddenOneEvery600Ms)
{
    StatusBlink blink;
    std::vector<bool> seen;
    for (int i = 0; i < 8; ++i)
        seen.push_back(blink.tick());
    EXPECT_EQ(seen, (std::vector<bool> { false, true, true, true, false, true, true, true }));
    EXPECT_EQ(StatusBlink::IntervalMs * StatusBlink::Period, 600);
}
