// The ranges dialog wired as the main window wires it: a real gas graph, a
// stand-in for the strip chart's ranges and a real settings file.
#include "config_temp_folder.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "config/DisplayRangesText.h"
#include "config/Settings.h"
#include "config/ui/TFormDiap.h"
#include "graphs/GASE_GRAPH.h"
#include "graphs/GraphTextTarget.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Label : GraphTextTarget
{
    void setText(const QString &value) override { text = value; }
    QString text;
};

class FormDiapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        QDir(folder.dir.path()).mkdir(QStringLiteral("conf"));
        for (int gas = 0; gas < GASE_GRAPH::GasCount; ++gas)
            for (int j = 0; j < GASE_GRAPH::ScaleLabelCount; ++j)
                graph.ScaleLabels[gas][j] = &scale[gas][j];
        graph.Initialise();

        form.setDisplayLimitsSource([this] {
            DisplayLimits limits;
            for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
                limits.Low[gas] = graph.RangeLow[gas];
                limits.High[gas] = graph.RangeHigh[gas];
            }
            return limits;
        });
        form.setGasGraphSink([this](const DisplayLimits &limits) {
            for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
                graph.RangeLow[gas] = limits.Low[gas];
                graph.RangeHigh[gas] = limits.High[gas];
            }
            graph.PlaceScaleLabels();
            graph.Draw();
        });
        form.setChartSink([this](const DisplayLimits &limits) { chart.push_back(limits); });
        form.setSaveDisplayRanges([this](const DisplayLimits &limits) {
            if (failWrite)
                throw IoError(QStringLiteral("Unable to write to %1").arg(settings.path()));
            settings.SaveDisplayRanges(limits);
        });
        form.setErrorDisplay([this](const QString &text) { errors << text; });
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    std::array<QLineEdit *, 10> edits() const
    {
        return { form.edMinCO, form.edMaxCO, form.edMinCH, form.edMaxCH, form.edMinCO2,
            form.edMaxCO2, form.edMinO2, form.edMaxO2, form.edMinNOx, form.edMaxNOx };
    }
    QStringList shown() const
    {
        QStringList texts;
        for (QLineEdit *edit : edits())
            texts << edit->text();
        return texts;
    }
    QByteArray file() const { return folder.read(QStringLiteral("conf/zelmor.ini")); }

    FormatSettings saved;
    TempFolder folder;
    Settings settings { folder.path(QStringLiteral("conf/zelmor.ini")) };
    GASE_GRAPH graph;
    Label scale[GASE_GRAPH::GasCount][GASE_GRAPH::ScaleLabelCount];
    TFormDiap form;
    std::vector<DisplayLimits> chart;
    QStringList errors;
    bool failWrite = false;
};

TEST_F(FormDiapTest, OpensWithTheGraphsLimitsInTheirFormats)
{
    form.show();
    EXPECT_EQ(shown(),
        QStringList({ "0,000", "7,000", "0,0", "3000,0", "0,000", "16,000", "0,000", "22,000",
            "0,0", "5000,0" }));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Настройка диапазонов"));
    EXPECT_EQ(form.size(), QSize(282, 291));
    // Tab order row by row, lower before upper, then the buttons.
    auto nextByTab = [](QWidget *widget) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        return widget;
    };
    const auto all = edits();
    for (size_t i = 0; i + 1 < all.size(); ++i)
        EXPECT_EQ(nextByTab(all[i]), all[i + 1]) << i;
    EXPECT_EQ(nextByTab(all.back()), form.btnAppend);
}

TEST_F(FormDiapTest, FormatsRoundToTheirDigits)
{
    struct Case
    {
        float low, high;
        int gas;
        const char *lowText, *highText;
    };
    const Case cases[] = {
        { 1.2345f, 7.5f, 0, "1,230", "7,500" }, // CO: 3 significant digits, 3 decimals
        { 0.0456f, 123.456f, 2, "0,046", "123,000" },
        { 12.5f, 123456, 1, "12,5", "123460,0" }, // CH: 5 significant digits, 1 decimal
        { -5, 4999.94f, 4, "-5,0", "4999,9" },
    };
    for (const Case &c : cases) {
        DisplayLimits limits;
        limits.Low[c.gas] = c.low;
        limits.High[c.gas] = c.high;
        const auto texts = DisplayRangesText::format(limits, QLatin1Char(','));
        EXPECT_EQ(texts[2 * c.gas], QLatin1String(c.lowText)) << c.low;
        EXPECT_EQ(texts[2 * c.gas + 1], QLatin1String(c.highText)) << c.high;
    }
}

TEST_F(FormDiapTest, ApplyReachesBothGraphsAndTheFile)
{
    form.show();
    form.edMaxCO->setText(QStringLiteral("5"));
    QTest::mouseClick(form.btnAppend, Qt::LeftButton);
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join(' '));
    EXPECT_EQ(graph.RangeHigh[0], 5.0f);
    EXPECT_EQ(scale[0][4].text, QStringLiteral("5,00")); // the CO bar's top label
    EXPECT_EQ(scale[0][2].text, QStringLiteral("2,50"));
    ASSERT_EQ(chart.size(), 1u);
    EXPECT_EQ(chart[0].High[0], 5.0f);
    EXPECT_EQ(chart[0].High[1], 3000.0f);
    const QByteArray ini = file();
    EXPECT_TRUE(ini.contains("[Diapazone]")) << ini.constData();
    EXPECT_TRUE(ini.contains("CO_MAX=5\r\n")) << ini.constData();
    EXPECT_TRUE(ini.contains("CH_MAX=3000\r\n")) << ini.constData();
    EXPECT_TRUE(ini.contains("NOx_MIN=0\r\n")) << ini.constData();
    EXPECT_TRUE(form.isVisible()); // the dialog stays open

    // A value with more digits than shown is stored as entered.
    form.edMaxCO->setText(QStringLiteral("1,2345"));
    form.btnAppendClick();
    EXPECT_EQ(graph.RangeHigh[0], 1.2345f);
    EXPECT_TRUE(file().contains("CO_MAX=1,23450005054474\r\n")) << file().constData();
    form.FormShow();
    EXPECT_EQ(form.edMaxCO->text(), QStringLiteral("1,230"));
}

TEST_F(FormDiapTest, RefusedInputChangesNothing)
{
    struct Case
    {
        int edit;
        const char *text;
        const char *says;
    };
    const Case cases[] = {
        { 3, "abc", "'abc' is not a valid floating point value" },
        { 1, "7.5", "'7.5' is not a valid floating point value" },
        { 1, "", "'' is not a valid floating point value" },
        { 1, "1e39", "слишком велико" },
        { 1, "0", "Нижняя граница CO (1,000) должна быть меньше верхней (0,000)" },
        { 8, "6000", "Нижняя граница NOx (6000,0) должна быть меньше верхней (5000,0)" },
    };
    for (const Case &c : cases) {
        form.FormShow();
        errors.clear();
        form.edMinCO->setText(QStringLiteral("1")); // a valid change before the bad one
        edits()[c.edit]->setText(QString::fromUtf8(c.text));
        form.btnAppendClick();
        ASSERT_EQ(errors.size(), 1) << c.text;
        EXPECT_TRUE(errors[0].contains(QString::fromUtf8(c.says))) << qPrintable(errors[0]);
        EXPECT_EQ(graph.RangeLow[0], 0.0f) << c.text;
        EXPECT_TRUE(chart.empty()) << c.text;
        EXPECT_TRUE(file().isEmpty()) << c.text;
    }
}

TEST_F(FormDiapTest, WriteErrorIsShownAfterTheGraphsTookTheLimits)
{
    failWrite = true;
    form.FormShow();
    form.edMaxO2->setText(QStringLiteral("25"));
    form.btnAppendClick();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Unable to write to ")))
        << qPrintable(errors[0]);
    EXPECT_EQ(graph.RangeHigh[3], 25.0f);
    ASSERT_EQ(chart.size(), 1u);
    EXPECT_EQ(chart[0].High[3], 25.0f);
}

TEST_F(FormDiapTest, CloseForgetsEditsNotApplied)
{
    form.show();
    form.edMaxCH->setText(QStringLiteral("1234"));
    QTest::mouseClick(form.btnClose, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(graph.RangeHigh[1], 3000.0f);
    form.show();
    EXPECT_EQ(form.edMaxCH->text(), QStringLiteral("3000,0"));
}

TEST(FormDiapAlone, WithoutSourceShowsTheLastAppliedLimits)
{
    TFormDiap form;
    form.setErrorDisplay([](const QString &) {});
    form.FormShow();
    form.edMaxCO->setText(QStringLiteral("9"));
    form.btnAppendClick();
    form.edMaxCO->setText(QStringLiteral("1"));
    form.FormShow();
    EXPECT_EQ(form.currentLimits().High[0], 9.0f);
    EXPECT_TRUE(form.edMaxCO->text().startsWith(QStringLiteral("9")));
}

} // namespace
