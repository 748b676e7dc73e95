#include "common/FormatSettings.h"
#include "common/NumberText.h"
#include "common/ZelmorError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct FixedCase
{
    double value;
    int precision;
    int decimals;
    const char *expected; // with a point; checked with both separators
};

class FixedTextTest : public ::testing::TestWithParam<FixedCase>
{
};

TEST_P(FixedTextTest, RoundsToSignificantDigitsThenDecimals)
{
    const FixedCase c = GetParam();
    const QString point = QString::fromLatin1(c.expected);
    EXPECT_EQ(fixedText(c.value, c.precision, c.decimals, QLatin1Char('.')), point);
    QString comma = point;
    comma.replace(QLatin1Char('.'), QLatin1Char(','));
    EXPECT_EQ(fixedText(c.value, c.precision, c.decimals, QLatin1Char(',')), comma);
}

INSTANTIATE_TEST_SUITE_P(Examples, FixedTextTest,
    ::testing::Values(FixedCase { 12345.6, 4, 0, "12350" }, FixedCase { 0.4567, 4, 2, "0.46" },
        FixedCase { 9.99, 2, 1, "10.0" }, FixedCase { 9.99, 2, 0, "10" },
        FixedCase { 9.96, 3, 1, "10.0" }, FixedCase { 99999.5, 6, 0, "100000" },
        FixedCase { 0.0, 4, 2, "0.00" }, FixedCase { -0.0, 4, 2, "0.00" },
        FixedCase { -1.25, 3, 1, "-1.3" }, FixedCase { 1.25, 3, 1, "1.3" },
        FixedCase { 2.675, 15, 2, "2.68" }, FixedCase { 0.125, 2, 3, "0.130" },
        FixedCase { -0.004, 4, 2, "0.00" }, FixedCase { 0.006, 4, 2, "0.01" },
        FixedCase { 0.0006, 4, 2, "0.00" }, FixedCase { 14.7, 3, 2, "14.70" },
        FixedCase { 1234.5678, 7, 3, "1234.568" }, FixedCase { 3000, 4, 0, "3000" },
        FixedCase { 1e20, 4, 0, "100000000000000000000" },
        FixedCase { 0.1f, 15, 15, "0.100000001490116" }, FixedCase { -873.21, 2, 1, "-870.0" }));

struct GeneralCase
{
    double value;
    const char *expected;
};

class GeneralTextTest : public ::testing::TestWithParam<GeneralCase>
{
};

TEST_P(GeneralTextTest, WritesShortestFormWithUpTo15Digits)
{
    const GeneralCase c = GetParam();
    const QString point = QString::fromLatin1(c.expected);
    EXPECT_EQ(generalText(c.value, QLatin1Char('.')), point);
    QString comma = point;
    comma.replace(QLatin1Char('.'), QLatin1Char(','));
    EXPECT_EQ(generalText(c.value, QLatin1Char(',')), comma);
}

INSTANTIATE_TEST_SUITE_P(Examples, GeneralTextTest,
    ::testing::Values(GeneralCase { 7, "7" }, GeneralCase { double(0.1f), "0.100000001490116" },
        GeneralCase { double(7.5f), "7.5" }, GeneralCase { 3000, "3000" }, GeneralCase { 0, "0" },
        GeneralCase { -0.0, "0" }, GeneralCase { -2.5, "-2.5" }, GeneralCase { 0.1, "0.1" },
        GeneralCase { 1.0 / 3, "0.333333333333333" }, GeneralCase { 0.0001, "0.0001" },
        GeneralCase { 0.00001, "1E-5" }, GeneralCase { 0.000015, "1.5E-5" },
        GeneralCase { -1.5e-7, "-1.5E-7" }, GeneralCase { 999999999999999, "999999999999999" },
        GeneralCase { 1e15, "1E15" }, GeneralCase { 1.5e20, "1.5E20" },
        GeneralCase { 0.9999999999999999, "1" }));

TEST(NumberTextTest, NonFiniteValuesAreNamedNotCrashed)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(generalText(nan, QLatin1Char(',')), QStringLiteral("NAN"));
    EXPECT_EQ(fixedText(-inf, 4, 2, QLatin1Char(',')), QStringLiteral("-INF"));
}

TEST(NumberTextTest, DefaultSeparatorComesFromFormatSettings)
{
    const FormatSettings saved = FormatSettings::current();
    FormatSettings::setDecimalSeparator(QLatin1Char(','));
    EXPECT_EQ(generalText(7.5), QStringLiteral("7,5"));
    EXPECT_EQ(fixedText(0.4567, 4, 2), QStringLiteral("0,46"));
    EXPECT_EQ(strToFloat(QStringLiteral("7,5")), 7.5);
    EXPECT_FALSE(tryStrToFloat(QStringLiteral("7.5")));
    FormatSettings::setDecimalSeparator(QLatin1Char('.'));
    EXPECT_EQ(generalText(7.5), QStringLiteral("7.5"));
    EXPECT_EQ(strToFloat(QStringLiteral("7.5")), 7.5);
    FormatSettings::setCurrent(saved);
}

struct IntCase
{
    const char *text;
    std::optional<int> expected;
};

class StrToIntTest : public ::testing::TestWithParam<IntCase>
{
};

TEST_P(StrToIntTest, AcceptsOnlyDecimalIntegers)
{
    const IntCase c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(tryStrToInt(text), c.expected) << c.text;
    if (c.expected) {
        EXPECT_EQ(strToInt(text), *c.expected);
    } else {
        try {
            strToInt(text);
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const ConversionError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToIntTest,
    ::testing::Values(IntCase { "100", 100 }, IntCase { "-1", -1 }, IntCase { "+5", 5 },
        IntCase { " 38400 ", 38400 }, IntCase { "0007", 7 }, IntCase { "2147483647", 2147483647 },
        IntCase { "-2147483648", INT_MIN }, IntCase { "2147483648", std::nullopt },
        IntCase { "99999999999999999999", std::nullopt }, IntCase { "", std::nullopt },
        IntCase { "-", std::nullopt }, IntCase { "abc", std::nullopt },
        IntCase { "12a", std::nullopt }, IntCase { "1.5", std::nullopt },
        IntCase { "1 000", std::nullopt }, IntCase { "１２", std::nullopt },
        IntCase { "0x10", std::nullopt }));

struct FloatCase
{
    const char *text;
    std::optional<double> expected;
};

class StrToFloatTest : public ::testing::TestWithParam<FloatCase>
{
};

TEST_P(StrToFloatTest, ReadsTheCommaNotation)
{
    const FloatCase c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(tryStrToFloat(text, QLatin1Char(',')), c.expected) << c.text;
    if (!c.expected) {
        try {
            strToFloat(text, QLatin1Char(','));
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const ConversionError &e) {
            EXPECT_EQ(
                e.message(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StrToFloatTest,
    ::testing::Values(FloatCase { "7", 7.0 }, FloatCase { "7,5", 7.5 },
        FloatCase { "-0,25", -0.25 }, FloatCase { ",5", 0.5 }, FloatCase { "5,", 5.0 },
        FloatCase { " 3000 ", 3000.0 }, FloatCase { "1E-5", 1e-5 }, FloatCase { "1,5e3", 1500.0 },
        FloatCase { "0,100000001490116", 0.100000001490116 }, FloatCase { "7.5", std::nullopt },
        FloatCase { "", std::nullopt }, FloatCase { ",", std::nullopt },
        FloatCase { "1e", std::nullopt }, FloatCase { "abc", std::nullopt },
        FloatCase { "1,5,5", std::nullopt }, FloatCase { "nan", std::nullopt },
        FloatCase { "inf", std::nullopt }, FloatCase { "1e999", std::nullopt }));

TEST(NumberTextTest, GeneralTextOfAFloatReadsBackToTheSameFloat)
{
    for (float f : { 0.1f, 7.5f, 3000.f, 1e-6f, 12345.678f, -22.22f, 3.4e38f }) {
        const auto back = tryStrToFloat(generalText(double(f), QLatin1Char(',')), QLatin1Char(','));
        ASSERT_TRUE(back) << f;
        EXPECT_EQ(float(*back), f);
    }
}

} // namespace
