#include "common/FormatSettings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

const QDateTime sample(QDate(2009, 12, 8), QTime(14, 3, 27, 45));

FormatSettings withSeparators(QChar date, QChar time)
{
    FormatSettings s;
    s.dateSeparator = date;
    s.timeSeparator = time;
    s.shortDateFormat = QStringLiteral("yyyy/mm/dd");
    return s;
}

struct PatternCase
{
    const char *pattern;
    const char *expected;
};

class FormatDateTimeTest : public ::testing::TestWithParam<PatternCase>
{
};

TEST_P(FormatDateTimeTest, FollowsThePattern)
{
    const PatternCase c = GetParam();
    EXPECT_EQ(formatDateTime(QString::fromUtf8(c.pattern), sample,
                  withSeparators(QLatin1Char('-'), QLatin1Char('-'))),
        QString::fromUtf8(c.expected))
        << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, FormatDateTimeTest,
    ::testing::Values(PatternCase { "dd.mm.yy", "08.12.09" },
        PatternCase { "hh:nn:ss", "14-03-27" }, PatternCase { "yyyy.mm.dd", "2009.12.08" },
        PatternCase { "yyyy/mm/dd", "2009-12-08" }, PatternCase { "hh:mm", "14-03" },
        PatternCase { "HH:MM:SS", "14-03-27" },
        PatternCase { "d/m/yyyy h:n:s", "8-12-2009 14-3-27" },
        PatternCase { "hh:nn:ss.zzz", "14-03-27.045" }, PatternCase { "ddddd", "2009-12-08" },
        PatternCase { "dd mmmm yyyy", "08 Декабрь 2009" },
        PatternCase { "'dd' \"mm\" dd", "dd mm 08" },
        PatternCase { "[dd.mm.yy][hh:nn:ss] ", "[08.12.09][14-03-27] " }));

TEST(FormatSettingsTest, MinutesOnlyRightAfterAnHour)
{
    // "mm" after a day is a month even when an hour stood earlier.
    EXPECT_EQ(formatDateTime(QStringLiteral("hh dd.mm"), sample,
                  withSeparators(QLatin1Char('.'), QLatin1Char(':'))),
        QStringLiteral("14 08.12"));
}

TEST(FormatSettingsTest, SelfReferringShortDateDoesNotRecurse)
{
    FormatSettings s = withSeparators(QLatin1Char('.'), QLatin1Char(':'));
    s.shortDateFormat = QStringLiteral("ddddd c");
    EXPECT_FALSE(formatDateTime(QStringLiteral("c"), sample, s).isEmpty());
}

TEST(FormatSettingsTest, LocaleGivesDecimalSeparatorAndShortDate)
{
    const FormatSettings saved = FormatSettings::current();
    FormatSettings::initFromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    FormatSettings ru = FormatSettings::current();
    EXPECT_EQ(ru.decimalSeparator, QLatin1Char(','));
    EXPECT_EQ(ru.dateSeparator, QLatin1Char('.'));
    EXPECT_EQ(formatDateTime(QStringLiteral("ddddd"), sample), QStringLiteral("08.12.2009"));

    FormatSettings::initFromLocale(QLocale::c());
    EXPECT_EQ(FormatSettings::current().decimalSeparator, QLatin1Char('.'));
    FormatSettings::initFromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatSettings::current().decimalSeparator, QLatin1Char('.'));
    EXPECT_EQ(FormatSettings::current().timeSeparator, QLatin1Char(':'));
    FormatSettings::setCurrent(saved);
}

TEST(FormatSettingsTest, CopiesStayConsistentWhileAnotherThreadChangesThem)
{
    const FormatSettings saved = FormatSettings::current();
    FormatSettings start = saved;
    start.dateSeparator = start.timeSeparator = QLatin1Char('/');
    start.shortDateFormat = QStringLiteral("dd/mm/yy");
    FormatSettings::setCurrent(start);
    std::atomic<bool> stop { false };
    // The writer always sets date and time separator to the same character,
    // so a torn copy would show two different ones.
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            FormatSettings s = FormatSettings::current();
            s.dateSeparator = s.timeSeparator = i % 2 ? QLatin1Char('-') : QLatin1Char('/');
            s.shortDateFormat = i % 2 ? QStringLiteral("yyyy/mm/dd") : QStringLiteral("dd/mm/yy");
            FormatSettings::setCurrent(s);
        }
    });
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        const FormatSettings s = FormatSettings::current();
        if (s.dateSeparator != s.timeSeparator
            || s.shortDateFormat.startsWith(QLatin1Char('y'))
                != (s.dateSeparator == QLatin1Char('-')))
            ++torn;
    }
    stop = true;
    writer.join();
    FormatSettings::setCurrent(saved);
    EXPECT_EQ(torn, 0);
}

} // namespace
