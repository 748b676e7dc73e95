#include "config_temp_folder.h"

#include "common/FormatSettings.h"
#include "common/ProgramFolder.h"
#include "common/ZelmorError.h"
#include "config/IniDocument.h"
#include "config/Settings.h"

#include <gtest/gtest.h>

namespace {

const QString ini = QStringLiteral("conf/zelmor.ini");

class SettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        QDir(folder.dir.path()).mkdir(QStringLiteral("conf"));
        setProgramFolder(folder.dir.path());
    }
    void TearDown() override
    {
        setProgramFolder(QString());
        FormatSettings::setCurrent(saved);
    }

    Settings loaded() const
    {
        Settings s;
        s.LoadSettings();
        return s;
    }
    IniDocument fileContents() const { return IniDocument::parse(folder.read(ini)); }

    TempFolder folder;
    FormatSettings saved;
};

TEST_F(SettingsTest, NoFileGivesEveryDefaultAndLeavesNoFile)
{
    const Settings s = loaded();
    EXPECT_EQ(s.path(), folder.path(ini));
    const OptionsRecord expected { QStringLiteral("COM1"), 38400, 100, 2, 1, 1, 0, 0, QString(),
        QStringLiteral("НПФ \"Лумарис\""), QString(), QString(), QDate() };
    EXPECT_EQ(s.AppliedOptions, expected);
    EXPECT_EQ(s.Controls.Speed, QStringLiteral("38400"));
    EXPECT_EQ(s.Controls.Timeout, QStringLiteral("100"));
    EXPECT_EQ(s.Controls.LineWidth, QStringLiteral("2"));
    EXPECT_EQ(s.ReadingsPerStep, 10);
    const DisplayLimits ranges { { 0, 0, 0, 0, 0 }, { 7, 3000, 16, 22, 5000 } };
    EXPECT_EQ(s.Limits, ranges);
    EXPECT_FALSE(folder.exists(ini));
}

TEST_F(SettingsTest, FirstSaveWritesEverySectionInOrder)
{
    Settings s = loaded();
    s.Limits.High[0] = 0.1f;
    s.SaveSettings();
    EXPECT_EQ(folder.read(ini),
        QByteArray("[Connect]\r\nComName=COM1\r\nSpeed=38400\r\nTimeOut=100\r\n"
                   "[Graph]\r\nLineWidth=2\r\nShowGrid=1\r\nShowEdIzm=1\r\n"
                   "[Interface]\r\nStartMode=0\r\nLanguage=0\r\n"
                   "[Printer]\r\nName=\r\n"
                   "[Report]\r\nPlace=\xcd\xcf\xd4 \"\xcb\xf3\xec\xe0\xf0\xe8\xf1\"\r\n"
                   "Operator=\r\n"
                   "[System]\r\nCntMeasure=10\r\n"
                   "[Diapazone]\r\nCO_MIN=0\r\nCO_MAX=0,100000001490116\r\nCH_MIN=0\r\n"
                   "CH_MAX=3000\r\nCO2_MIN=0\r\nCO2_MAX=16\r\nO2_MIN=0\r\nO2_MAX=22\r\n"
                   "NOx_MIN=0\r\nNOx_MAX=5000\r\n"
                   "[Instrument]\r\nVerificationCertificate=\r\nVerificationValidUntil=\r\n"));
}

struct FileCase
{
    const char *section;
    const char *key;
    const char *inFile;
    const char *afterSave; // what the next save writes back
};

class SettingsValueTest : public SettingsTest, public ::testing::WithParamInterface<FileCase>
{
};

TEST_P(SettingsValueTest, OddValuesAreReadAndWrittenBackSensibly)
{
    const FileCase c = GetParam();
    folder.write(ini, QByteArray("[") + c.section + "]\r\n" + c.key + "=" + c.inFile + "\r\n");
    Settings s = loaded();
    s.SaveSettings();
    EXPECT_EQ(fileContents().value(QLatin1String(c.section), QLatin1String(c.key)),
        QString::fromUtf8(c.afterSave));
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsValueTest,
    ::testing::Values(FileCase { "Connect", "Speed", "abc", "38400" },
        FileCase { "Connect", "Speed", "115200", "115200" },
        FileCase { "Connect", "TimeOut", "1,5", "100" },
        FileCase { "Graph", "LineWidth", "x", "2" }, FileCase { "Graph", "ShowGrid", "2", "2" },
        FileCase { "Graph", "ShowGrid", "0", "0" }, FileCase { "Graph", "ShowEdIzm", "9", "1" },
        FileCase { "Interface", "StartMode", "7", "-1" },
        FileCase { "Interface", "StartMode", "1", "1" },
        FileCase { "Interface", "Language", "1", "-1" },
        FileCase { "System", "CntMeasure", "5", "5" },
        FileCase { "System", "CntMeasure", "50", "50" },
        FileCase { "Diapazone", "CO_MAX", "7,5", "7,5" },
        FileCase { "Diapazone", "CO_MAX", "7.5", "7" },
        FileCase { "Diapazone", "CH_MAX", "1E300", "3000" },
        FileCase { "Diapazone", "O2_MIN", "-1", "-1" }, FileCase { "Report", "Place", "", "" },
        FileCase { "Instrument", "VerificationValidUntil", "31.12.2026", "31.12.2026" },
        FileCase { "Instrument", "VerificationValidUntil", "2026-12-31", "31.12.2026" },
        FileCase { "Instrument", "VerificationValidUntil", "31.02.2026", "" }));

TEST_F(SettingsTest, ReadingsPerStepIsLimitedForTheTestButKeptInTheFile)
{
    for (const auto &[inFile, used] : { std::pair { "0", 1 }, std::pair { "-3", 1 },
             std::pair { "5", 5 }, std::pair { "11", 10 } }) {
        folder.write(ini, QByteArray("[System]\r\nCntMeasure=") + inFile + "\r\n");
        EXPECT_EQ(loaded().readingsPerStep(), used) << inFile;
    }
}

TEST_F(SettingsTest, RoundTripKeepsEveryValue)
{
    Settings s = loaded();
    s.Controls = OptionControls { QStringLiteral("/dev/pts/7"), QStringLiteral("9600"),
        QStringLiteral("250"), QStringLiteral("4"), 0, 2, 1, 0, QStringLiteral("Принтер 1"),
        QStringLiteral("ГИБДД г. Тверь"), QStringLiteral("Петров П. П."),
        QStringLiteral("С-АБ/12-3456"), QDate(2026, 12, 31) };
    s.Limits = DisplayLimits { { 0.1f, -5, 0, 0.5f, 1e-6f }, { 7.5f, 2500, 16, 21.7f, 4999.9f } };
    s.ReadingsPerStep = 7;
    s.SaveSettings();
    const OptionsRecord expected { QStringLiteral("/dev/pts/7"), 9600, 250, 4, 0, 2, 1, 0,
        QStringLiteral("Принтер 1"), QStringLiteral("ГИБДД г. Тверь"),
        QStringLiteral("Петров П. П."), QStringLiteral("С-АБ/12-3456"), QDate(2026, 12, 31) };
    EXPECT_EQ(s.AppliedOptions, expected);

    const Settings back = loaded();
    EXPECT_EQ(back.AppliedOptions, expected);
    EXPECT_EQ(back.Limits, s.Limits);
    EXPECT_EQ(back.ReadingsPerStep, 7);
}

TEST_F(SettingsTest, TypedSpeedIsStoredAsTypedWithoutFailingTheSave)
{
    Settings s = loaded();
    s.Controls.Speed = QStringLiteral("быстро");
    EXPECT_NO_THROW(s.SaveSettings());
    EXPECT_EQ(fileContents().value(QStringLiteral("Connect"), QStringLiteral("Speed")),
        QStringLiteral("быстро"));
    EXPECT_EQ(s.AppliedOptions.Speed, 38400);
    EXPECT_EQ(loaded().Controls.Speed, QStringLiteral("38400"));
}

TEST_F(SettingsTest, BadTimeoutStopsTheSaveAfterSpeed)
{
    folder.write(ini, "[Vendor]\r\nKey=1\r\n");
    Settings s = loaded();
    s.Controls.PortName = QStringLiteral("COM2");
    s.Controls.Timeout = QStringLiteral("1 000");
    const OptionsRecord before = s.AppliedOptions;
    try {
        s.SaveSettings();
        ADD_FAILURE() << "no error";
    } catch (const ConversionError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("'1 000' is not a valid integer value"));
    }
    const IniDocument doc = fileContents();
    EXPECT_EQ(
        doc.sections(), (QStringList { QStringLiteral("Vendor"), QStringLiteral("Connect") }));
    EXPECT_EQ(doc.keys(QStringLiteral("Connect")),
        (QStringList { QStringLiteral("ComName"), QStringLiteral("Speed") }));
    EXPECT_EQ(s.AppliedOptions, before);
}

TEST_F(SettingsTest, WriteFailureMidSaveKeepsTheKeysWrittenBefore)
{
    // The conf folder belongs to the operator; the file turns read-only
    // while the ranges are being saved.
    QFile::setPermissions(folder.path(QStringLiteral("conf")),
        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther
            | QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    AsOrdinaryUser user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop root rights";
    Settings s = loaded();
    s.Controls.PortName = QStringLiteral("COM9");
    s.setDisplayLimitsSource([this] {
        QFile::setPermissions(folder.path(ini), QFileDevice::ReadOwner | QFileDevice::ReadOther);
        return DisplayLimits { { 1, 1, 1, 1, 1 }, { 2, 2, 2, 2, 2 } };
    });
    EXPECT_THROW(s.SaveSettings(), IoError);
    const IniDocument doc = fileContents();
    EXPECT_EQ(
        doc.value(QStringLiteral("Connect"), QStringLiteral("ComName")), QStringLiteral("COM9"));
    EXPECT_EQ(
        doc.value(QStringLiteral("System"), QStringLiteral("CntMeasure")), QStringLiteral("10"));
    EXPECT_FALSE(doc.value(QStringLiteral("Diapazone"), QStringLiteral("CO_MIN")));
    EXPECT_EQ(s.AppliedOptions.ComName, QStringLiteral("COM1"));
}

TEST_F(SettingsTest, SavingRangesTouchesOnlyTheRanges)
{
    const QByteArray hand = "[Connect]\r\nComName=COM3\r\nSpeed=fast\r\n"
                            "[Diapazone]\r\nCO_MAX=7\r\nOwn=1\r\n";
    folder.write(ini, hand);
    Settings s = loaded();
    DisplayLimits limits = s.Limits;
    limits.High[0] = 7.5f;
    s.SaveDisplayRanges(limits);
    const IniDocument doc = fileContents();
    EXPECT_EQ(
        doc.sections(), (QStringList { QStringLiteral("Connect"), QStringLiteral("Diapazone") }));
    EXPECT_EQ(
        doc.value(QStringLiteral("Connect"), QStringLiteral("Speed")), QStringLiteral("fast"));
    EXPECT_EQ(
        doc.value(QStringLiteral("Diapazone"), QStringLiteral("CO_MAX")), QStringLiteral("7,5"));
    EXPECT_EQ(doc.value(QStringLiteral("Diapazone"), QStringLiteral("Own")), QStringLiteral("1"));
    EXPECT_EQ(doc.keys(QStringLiteral("Diapazone")).size(), 11);
}

// The OBD-II adapter's section: read with its defaults, written only when the
// adapter's choice changed, so a station without one keeps its file as it was.
TEST_F(SettingsTest, ObdSectionIsReadAndWrittenOnlyWhenChanged)
{
    struct Row
    {
        const char *name;
        QByteArray file; // the section as found, "" for none
        ObdOptions read; // what LoadSettings gives
        QString activePort; // the port the link is given
        std::optional<ObdOptions> change; // set before SaveSettings
        std::optional<QString> enabledAfter, portAfter; // the keys after it, none: no key
    };
    const ObdOptions off;
    const ObdOptions rfcomm { true, QStringLiteral("/dev/rfcomm0") };
    const Row rows[] = {
        { "no section, no change", "", off, QString(), std::nullopt, std::nullopt, std::nullopt },
        { "no section, adapter chosen", "", off, QString(), rfcomm, QStringLiteral("1"),
            QStringLiteral("/dev/rfcomm0") },
        { "in use", "[OBD]\r\nEnabled=1\r\nPort= /dev/rfcomm0 \r\n", rfcomm,
            QStringLiteral("/dev/rfcomm0"), std::nullopt, QStringLiteral("1"),
            QStringLiteral("/dev/rfcomm0") },
        { "turned off keeps its port", "[OBD]\r\nEnabled=1\r\nPort=/dev/ttyUSB1\r\n",
            { true, QStringLiteral("/dev/ttyUSB1") }, QStringLiteral("/dev/ttyUSB1"),
            ObdOptions { false, QStringLiteral("/dev/ttyUSB1") }, QStringLiteral("0"),
            QStringLiteral("/dev/ttyUSB1") },
        { "bad switch reads off, stays as typed", "[OBD]\r\nEnabled=yes\r\nPort=COM4\r\n",
            { false, QStringLiteral("COM4") }, QString(), std::nullopt, QStringLiteral("yes"),
            QStringLiteral("COM4") },
        { "on without a port uses none", "[OBD]\r\nEnabled=1\r\n", { true, QString() }, QString(),
            std::nullopt, QStringLiteral("1"), std::nullopt },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        folder.write(ini, "[Connect]\r\nComName=COM1\r\n" + row.file);
        Settings s = loaded();
        EXPECT_EQ(s.Obd, row.read);
        EXPECT_EQ(s.Obd.activePort(), row.activePort);
        if (row.change)
            s.Obd = *row.change;
        s.SaveSettings();
        const IniDocument doc = fileContents();
        EXPECT_EQ(doc.value(QStringLiteral("OBD"), QStringLiteral("Enabled")), row.enabledAfter);
        EXPECT_EQ(doc.value(QStringLiteral("OBD"), QStringLiteral("Port")), row.portAfter);
        EXPECT_EQ(loaded().Obd, row.change.value_or(row.read));
    }
}

} // namespace
