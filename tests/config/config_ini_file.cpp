#include "config_temp_folder.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "config/IniDocument.h"
#include "config/IniFile.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

namespace {

const QString ini = QStringLiteral("zelmor.ini");

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        saved = FormatSettings::current();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
    }
    void TearDown() override { FormatSettings::setCurrent(saved); }

    IniFile file() const { return IniFile(folder.path(ini)); }

    TempFolder folder;
    FormatSettings saved;
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreated)
{
    const IniFile f = file();
    EXPECT_EQ(
        f.readString(QStringLiteral("Connect"), QStringLiteral("ComName"), QStringLiteral("COM1")),
        QStringLiteral("COM1"));
    EXPECT_EQ(f.readInteger(QStringLiteral("Connect"), QStringLiteral("Speed"), 38400), 38400);
    EXPECT_EQ(f.readFloat(QStringLiteral("Diapazone"), QStringLiteral("CO_MAX"), 7), 7.0);
    EXPECT_FALSE(folder.exists(ini));
}

struct ReadCase
{
    const char *text; // value in the file
    int integer; // readInteger with default -7
    double number; // readFloat with default -7 and a comma separator
};

class IniReadTest : public IniFileTest, public ::testing::WithParamInterface<ReadCase>
{
};

TEST_P(IniReadTest, BadValuesGiveTheDefault)
{
    const ReadCase c = GetParam();
    folder.write(ini, QByteArray("[S]\r\nK=") + c.text + "\r\n");
    const IniFile f = file();
    EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("K"), -7), c.integer) << c.text;
    EXPECT_EQ(f.readFloat(QStringLiteral("S"), QStringLiteral("K"), -7), c.number) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Values, IniReadTest,
    ::testing::Values(ReadCase { "12", 12, 12 }, ReadCase { "  12  ", 12, 12 },
        ReadCase { "-3", -3, -3 }, ReadCase { "abc", -7, -7 }, ReadCase { "", -7, -7 },
        ReadCase { "7,5", -7, 7.5 }, ReadCase { "7.5", -7, -7 }, ReadCase { "0x10", -7, -7 },
        ReadCase { "1E3", -7, 1000 }, ReadCase { "99999999999", -7, 99999999999.0 }));

TEST_F(IniFileTest, NamesIgnoreCaseAndBlanks)
{
    // "[Пример]" and "Ключ=1" in Windows-1251.
    folder.write(ini,
        "; comment\r\n  [ connect ]  \r\n  comname =  COM7  \r\n"
        "[\xcf\xf0\xe8\xec\xe5\xf0]\r\n\xca\xeb\xfe\xf7=1\r\n");
    const IniFile f = file();
    EXPECT_EQ(f.readString(QStringLiteral("CONNECT"), QStringLiteral("ComName"), QString()),
        QStringLiteral("COM7"));
    EXPECT_EQ(f.readInteger(QStringLiteral("ПРИМЕР"), QStringLiteral("ключ"), 0), 1);
}

TEST_F(IniFileTest, FirstSectionAndFirstKeyOfANameWin)
{
    folder.write(ini, "[S]\r\nK=1\r\nK=2\r\n[S]\r\nK=3\r\nL=4\r\n");
    IniFile f = file();
    EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("K"), 0), 1);
    EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("L"), 0), 0);
    f.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("9"));
    EXPECT_EQ(folder.read(ini), QByteArray("[S]\r\nK=9\r\nK=2\r\n[S]\r\nK=3\r\nL=4\r\n"));
}

TEST_F(IniFileTest, WritingReplacesInPlaceAndKeepsEverythingElse)
{
    // Unknown keys, comments, blank lines, garbage and lines before any
    // section all stay byte for byte; only the changed line is rewritten.
    const QByteArray before = "orphan=1\r\n"
                              "[Connect]\r\n"
                              "; the port of the bench\r\n"
                              "ComName = COM3\r\n"
                              "Extra=\xcf\xf0\xe8\xe2\xe5\xf2\r\n"
                              "garbage line \x01\x98\xff\r\n"
                              "\r\n"
                              "[Vendor]\r\n"
                              "Key=keep\r\n";
    folder.write(ini, before);
    IniFile f = file();
    f.writeString(QStringLiteral("connect"), QStringLiteral("COMNAME"), QStringLiteral("COM4"));
    QByteArray expected = before;
    expected.replace("ComName = COM3", "ComName=COM4");
    EXPECT_EQ(folder.read(ini), expected);
    EXPECT_EQ(f.readString(QStringLiteral("Connect"), QStringLiteral("Extra"), QString()),
        QStringLiteral("Привет"));
}

TEST_F(IniFileTest, NewKeysJoinTheirSectionAndNewSectionsGoLast)
{
    folder.write(ini, "[Connect]\nComName=COM1\n\n[Graph]\nLineWidth=2");
    IniFile f = file();
    f.writeInteger(QStringLiteral("Connect"), QStringLiteral("Speed"), 9600);
    f.writeInteger(QStringLiteral("System"), QStringLiteral("CntMeasure"), 5);
    f.writeInteger(QStringLiteral("Graph"), QStringLiteral("ShowGrid"), 1);
    EXPECT_EQ(folder.read(ini),
        QByteArray("[Connect]\r\nComName=COM1\r\nSpeed=9600\r\n\r\n"
                   "[Graph]\r\nLineWidth=2\r\nShowGrid=1\r\n"
                   "[System]\r\nCntMeasure=5\r\n"));
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileInWindows1251WithCrLf)
{
    IniFile f = file();
    f.writeString(
        QStringLiteral("Report"), QStringLiteral("Place"), QStringLiteral("НПФ \"Лумарис\""));
    f.writeFloat(QStringLiteral("Diapazone"), QStringLiteral("CO_MAX"), double(0.1f));
    EXPECT_EQ(folder.read(ini),
        QByteArray("[Report]\r\nPlace=\xcd\xcf\xd4 \"\xcb\xf3\xec\xe0\xf0\xe8\xf1\"\r\n"
                   "[Diapazone]\r\nCO_MAX=0,100000001490116\r\n"));
    EXPECT_EQ(f.readString(QStringLiteral("Report"), QStringLiteral("Place"), QString()),
        QStringLiteral("НПФ \"Лумарис\""));
    EXPECT_EQ(float(f.readFloat(QStringLiteral("Diapazone"), QStringLiteral("CO_MAX"), 0)), 0.1f);
    const auto perms = QFile::permissions(folder.path(ini));
    EXPECT_TRUE(perms & QFileDevice::ReadOther) << "a settings file readable by everyone";
}

TEST_F(IniFileTest, AValueCannotStartNewLines)
{
    IniFile f = file();
    f.writeString(QStringLiteral("Report"), QStringLiteral("Place"),
        QStringLiteral("a\r\n[Connect]\nComName=X"));
    EXPECT_EQ(
        f.readString(QStringLiteral("Connect"), QStringLiteral("ComName"), QStringLiteral("COM1")),
        QStringLiteral("COM1"));
    EXPECT_EQ(IniDocument::parse(folder.read(ini)).lineCount(), 2);
}

TEST_F(IniFileTest, UnwritablePlacesThrowAndLeaveNothingBehind)
{
    const QString inMissingFolder = folder.path(QStringLiteral("conf/zelmor.ini"));
    IniFile missing(inMissingFolder);
    try {
        missing.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
        ADD_FAILURE() << "no error";
    } catch (const IoError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Unable to write to %1").arg(inMissingFolder));
    }
    EXPECT_FALSE(QFile::exists(inMissingFolder));

    // A folder where the file should be.
    QDir(folder.dir.path()).mkdir(ini);
    EXPECT_THROW(
        file().writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v")), IoError);
}

TEST_F(IniFileTest, ReadOnlyFileIsReportedAndKept)
{
    const QByteArray before = "[S]\r\nK=1\r\n";
    folder.write(ini, before);
    QFile::setPermissions(folder.path(ini), QFileDevice::ReadOwner | QFileDevice::ReadOther);
    AsOrdinaryUser user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop root rights";
    IniFile f = file();
    EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("K"), 0), 1);
    EXPECT_THROW(
        f.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("2")), IoError);
    EXPECT_EQ(folder.read(ini), before);
}

TEST_F(IniFileTest, WritableFileInReadOnlyFolderIsRewrittenInPlace)
{
    folder.write(ini, "[S]\r\nK=1\r\nOther=x\r\n");
    QFile::setPermissions(folder.path(ini),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther
            | QFileDevice::WriteOther);
    AsOrdinaryUser user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop root rights";
    IniFile f = file();
    f.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("22"));
    f.writeString(QStringLiteral("S"), QStringLiteral("Other"), QString());
    EXPECT_EQ(folder.read(ini), QByteArray("[S]\r\nK=22\r\nOther=\r\n"));
    // A new file cannot be made in such a folder.
    IniFile other(folder.path(QStringLiteral("new.ini")));
    EXPECT_THROW(
        other.writeString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("1")), IoError);
}

// A settings file of ours is a regular file of at most 1 MiB; anything else
// at its place is not read (the defaults hold) and never written over.
TEST_F(IniFileTest, WhatIsNotASettingsFileIsNeitherReadNorWritten)
{
    const QByteArray start = "[S]\r\nK=1\r\n";
    const QByteArray filler = "; " + QByteArray(IniFile::MaxSize, 'x');
    const struct
    {
        const char *name;
        std::function<bool(const QString &)> make;
        const char *says; // empty: an ordinary file, read and written
    } cases[] = {
        { "exactly 1 MiB",
            [&](const QString &p) {
                folder.write(ini, start + filler.left(IniFile::MaxSize - start.size()));
                return QFileInfo(p).size() == IniFile::MaxSize;
            },
            "" },
        { "one byte more",
            [&](const QString &) {
                folder.write(ini, start + filler.left(IniFile::MaxSize + 1 - start.size()));
                return true;
            },
            "больше 1024 КиБ (1048577 байт)" },
        { "link to /dev/zero",
            [](const QString &p) { return QFile::link(QStringLiteral("/dev/zero"), p); },
            "не обычный файл" },
        { "pipe", [](const QString &p) { return ::mkfifo(QFile::encodeName(p), 0600) == 0; },
            "не обычный файл" },
        { "folder", [](const QString &p) { return QDir().mkdir(p); }, "не обычный файл" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.path(ini);
        QFile::remove(path);
        QDir(path).removeRecursively();
        ASSERT_TRUE(c.make(path));
        const QFileInfo before(path);
        IniFile f = file();
        const QString says = QString::fromUtf8(c.says);
        if (says.isEmpty()) {
            EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("K"), 7), 1);
            EXPECT_TRUE(f.refusal().isEmpty()) << qPrintable(f.refusal());
            f.writeInteger(QStringLiteral("S"), QStringLiteral("K"), 2);
            EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("K"), 7), 2);
            continue;
        }
        EXPECT_EQ(f.readInteger(QStringLiteral("S"), QStringLiteral("K"), 7), 7);
        EXPECT_TRUE(f.refusal().contains(path)) << qPrintable(f.refusal());
        EXPECT_TRUE(f.refusal().contains(says)) << qPrintable(f.refusal());
        try {
            f.writeInteger(QStringLiteral("S"), QStringLiteral("K"), 2);
            ADD_FAILURE() << "written";
        } catch (const IoError &e) {
            EXPECT_TRUE(e.message().contains(path)) << qPrintable(e.message());
            EXPECT_TRUE(e.message().contains(says)) << qPrintable(e.message());
        }
        const QFileInfo after(path);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(after.lastModified(), before.lastModified());
    }
}

TEST(IniDocumentTest, AnyBytesParseAndSurviveARewrite)
{
    const QByteArray odd[] = { "", "\n", "\r\r\n", "[", "]", "=", "[]\n=\n[a]b=c",
        QByteArray("\0\0=\0", 4), "[S]\nno equals sign\n=value without key\n[S\n" };
    for (const QByteArray &bytes : odd) {
        IniDocument doc = IniDocument::parse(bytes);
        const QByteArray once = doc.toBytes();
        EXPECT_EQ(IniDocument::parse(once).toBytes(), once);
        doc.setValue(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("v"));
        EXPECT_EQ(doc.value(QStringLiteral("S"), QStringLiteral("K")), QStringLiteral("v"));
        EXPECT_EQ(IniDocument::parse(doc.toBytes()).value(QStringLiteral("S"), QStringLiteral("K")),
            QStringLiteral("v"));
    }
}

} // namespace
