// Packing of the service panel's typed parameters and the fields it offers,
// command by command.

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "device/ServiceCommand.h"
#include "device/SplineFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <bit>
#include <limits>

namespace {

using Inputs = std::array<QString, ServiceCommandFields::InputCount>;

QByteArray word(quint16 w)
{
    QByteArray b(2, '\0');
    qToLittleEndian(w, b.data());
    return b;
}

QByteArray float64(double v)
{
    QByteArray b(8, '\0');
    const quint64 bits = std::bit_cast<quint64>(v);
    qToLittleEndian(bits, b.data());
    return b;
}

// Restores the shared format settings a test changed.
class ServiceCommandTest : public ::testing::Test
{
protected:
    void SetUp() override { m_saved = FormatSettings::current(); }
    void TearDown() override { FormatSettings::setCurrent(m_saved); }
    FormatSettings m_saved;
};

TEST_F(ServiceCommandTest, PacksEachCommandsParametersBehindItsCode)
{
    ConstantsRecord constants;
    constants.serialNumber = 0x1234;
    constants.firmwareVersion = 0x0105;
    QByteArray constantBytes(ConstantsRecord::Size, '\0');
    constants.encode(reinterpret_cast<uint8_t *>(constantBytes.data()));
    SplineVector spline;
    for (int i = 0; i < SplineVectorSize; ++i)
        spline[i] = uint8_t(i);
    const QByteArray splineBytes(reinterpret_cast<const char *>(spline.data()), SplineVectorSize);
    // A spline saved from another instrument.
    QTemporaryDir dir;
    const QString splineFile = dir.filePath("saved.spl");
    SplineVector saved;
    saved.fill(0x5a);
    writeSplineFile(splineFile, saved);

    const struct
    {
        int code;
        Inputs inputs;
        QByteArray payload;
    } cases[] = {
        { ZMX_Dummy, { "17", "", "", "" }, {} },
        { ZMX_set_flow, { "0", "", "", "" }, word(0) },
        { ZMX_set_clear, { " 3 ", "", "", "" }, word(3) },
        { ZMX_set_zero, { "-1", "", "", "" }, word(0xffff) },
        // Outside 16 bits only the low 16 bits go out: 70000 = 0x11170.
        { ZMX_set_flow, { "70000", "", "", "" }, word(0x1170) },
        { ZMX_get_result, { "x", "", "", "" }, {} },
        { ZMX_get_constant, {}, {} },
        { ZMX_set_port_param, { "10,9", "0", "", "" }, word(10) + word(0) },
        { ZMX_set_port_param, { "-2,7", "65537", "", "" }, word(0xfffe) + word(1) },
        { ZMX_get_s_vector, {}, {} },
        { ZMX_set_s_vector, {}, splineBytes },
        { ZMX_set_s_vector, { splineFile, "", "", "" }, QByteArray(SplineVectorSize, 0x5a) },
        { ZMX_pressure, { "760", "", "", "" }, float64(760.0) },
        { ZMX_pressure, { "745,25", "", "", "" }, float64(745.25) },
        { ZMX_Shift_O2, { "5", "", "", "" }, {} },
        { ZMX_Ku_O2, { "-123", "", "", "" }, word(quint16(-123)) },
        { ZMX_get_Term_Ratio, {}, {} },
        { ZMX_reset, { "47205", "", "", "" }, word(47205) },
        // The speed switch carries its word, whatever stands in the fields.
        { ZMX_Baud38400, { "1", "", "", "" }, word(0x3840) },
        { ZMX_get_Drift_Info, {}, {} },
        { ZMX_Press_Key, { "4", "", "", "" }, word(4) },
        { ZMX_Vrefm_par, {}, {} },
        { ZMX_set_constant, {}, constantBytes },
    };
    FormatSettings::setDecimalSeparator(QLatin1Char(','));
    for (const auto &c : cases) {
        const ServiceCommandRequest r
            = packServiceCommand(c.code, c.inputs, { &constants, &spline });
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.payload.toHex(' '), c.payload.toHex(' '))
            << commandName(c.code) << " " << c.inputs[0].toStdString();
        // Whole out packet never longer than the command's length.
        EXPECT_LE(2 + r.payload.size(), commandOutLength(c.code)) << commandName(c.code);
    }
}

TEST_F(ServiceCommandTest, TextsThatAreNotNumbersAreRefusedWithTheConversionMessage)
{
    FormatSettings::setDecimalSeparator(QLatin1Char(','));
    const struct
    {
        int code;
        Inputs inputs;
        const char *message;
    } cases[] = {
        { ZMX_set_flow, { "abc", "", "", "" }, "'abc' is not a valid integer value" },
        { ZMX_set_zero, { "", "", "", "" }, "'' is not a valid integer value" },
        // An integer field takes no fraction.
        { ZMX_reset, { "4,5", "", "", "" }, "'4,5' is not a valid integer value" },
        { ZMX_Ku_O2, { "99999999999", "", "", "" }, "'99999999999' is not a valid integer value" },
        { ZMX_pressure, { "7a0", "", "", "" }, "'7a0' is not a valid floating point value" },
        // The point is not the decimal separator under these settings.
        { ZMX_pressure, { "760.5", "", "", "" }, "'760.5' is not a valid floating point value" },
        { ZMX_set_port_param, { "10", "fast", "", "" },
            "'fast' is not a valid floating point value" },
    };
    for (const auto &c : cases) {
        try {
            packServiceCommand(c.code, c.inputs, {});
            ADD_FAILURE() << "accepted " << c.inputs[0].toStdString();
        } catch (const ConversionError &e) {
            EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
        }
    }
}

TEST_F(ServiceCommandTest, WhatWasNotReadIsNotWrittenBack)
{
    QTemporaryDir dir;
    const QString shortFile = dir.filePath("short.spl");
    QFile file(shortFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(SplineVectorSize - 1, 1));
    file.close();
    const struct
    {
        int code;
        QString input;
        QString message;
    } cases[] = {
        { ZMX_set_constant, "", "Константы прибора не считаны: записывать в прибор нечего." },
        { ZMX_set_s_vector, "",
            "Сплайн не считан из прибора (--ZMX_get_s_vector) и не выбран файл сплайна: "
            "записывать в прибор нечего." },
        { ZMX_set_s_vector, shortFile,
            shortFile + " — не файл сплайна: его длина 129 байт вместо 130." },
        { ZMX_set_s_vector, dir.path(), dir.path() + " — не файл сплайна." },
        { ZMX_set_s_vector, dir.filePath("none.spl"),
            "Файл сплайна не найден: " + dir.filePath("none.spl") },
    };
    for (const auto &c : cases) {
        try {
            packServiceCommand(c.code, { c.input, "", "", "" }, {});
            ADD_FAILURE() << commandName(c.code) << " accepted " << c.input.toStdString();
        } catch (const ZelmorError &e) {
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

TEST(ServiceCommandLow16, KeepsTheLowBitsOfTheTruncatedNumber)
{
    const struct
    {
        double value;
        quint16 low;
    } cases[] = { { 10.9, 10 }, { -0.9, 0 }, { -1.0, 0xffff }, { 65535.99, 65535 }, { 65536.0, 0 },
        { 131073.5, 1 }, { 1e300, 0 }, { -1e300, 0 },
        { std::numeric_limits<double>::infinity(), 0 },
        { std::numeric_limits<double>::quiet_NaN(), 0 } };
    for (const auto &c : cases)
        EXPECT_EQ(low16Bits(c.value), c.low) << c.value;
}

TEST(ServiceCommandFieldsTest, OffersTheParametersEachCommandNeeds)
{
    const struct
    {
        int code;
        qint16 o2Shift;
        const char *name1;
        const char *value1;
        const char *name2;
        const char *value2;
        const char *result;
        bool repeat;
    } cases[] = {
        { ZMX_Dummy, -1, "---", "", "---", "", "---", true },
        { ZMX_set_flow, -1, "par1", "0", "---", "", "---", false },
        { ZMX_set_clear, -1, "par1", "0", "---", "", "---", false },
        { ZMX_set_zero, -1, "par1", "0", "---", "", "---", false },
        { ZMX_get_result, -1, "---", "", "---", "", "---", true },
        { ZMX_get_constant, -1, "---", "", "---", "", "---", false },
        { ZMX_set_port_param, -1, "Сетевой номер:", "10", "Скорость:", "0", "---", false },
        // The second place holds the spline file button.
        { ZMX_get_s_vector, -1, "---", "", "Сплайн:", "", "---", false },
        { ZMX_set_s_vector, -1, "Файл сплайна:", "", "", "", "---", false },
        { ZMX_pressure, -1, "Текущее давление:", "760", "---", "", "---", false },
        { ZMX_Shift_O2, 12, "---", "", "---", "", "Shift_O2=", false },
        // No offset calibration yet: nothing is proposed.
        { ZMX_Ku_O2, -1, "Shift_O2=", "", "---", "", "Ku_O2=", false },
        { ZMX_Ku_O2, -7, "Shift_O2=", "-7", "---", "", "Ku_O2=", false },
        { ZMX_get_Term_Ratio, -1, "---", "", "---", "", "---", true },
        { ZMX_reset, -1, "Пароль:", "47205", "---", "", "---", false },
        { ZMX_Baud38400, -1, "---", "", "---", "", "---", false },
        { ZMX_get_Drift_Info, -1, "---", "", "---", "", "---", true },
        { ZMX_Press_Key, -1, "par1", "0", "---", "", "---", false },
        { ZMX_Vrefm_par, -1, "---", "", "---", "", "---", false },
    };
    for (const auto &c : cases) {
        const ServiceCommandFields f = serviceCommandFields(c.code, c.o2Shift);
        const char *name = commandName(c.code);
        EXPECT_EQ(f.inputNames[0], QString::fromUtf8(c.name1)) << name;
        EXPECT_EQ(f.inputValues[0], QString::fromUtf8(c.value1)) << name;
        EXPECT_EQ(f.inputNames[1], QString::fromUtf8(c.name2)) << name;
        EXPECT_EQ(f.inputValues[1], QString::fromUtf8(c.value2)) << name;
        EXPECT_EQ(f.inputNames[2], "---") << name;
        EXPECT_EQ(f.inputNames[3], "---") << name;
        EXPECT_EQ(f.resultName, QString::fromUtf8(c.result)) << name;
        EXPECT_EQ(f.repeat, c.repeat) << name;
    }
}

} // namespace
