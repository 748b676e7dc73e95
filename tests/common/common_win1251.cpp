#include "common/Colors.h"
#include "common/Win1251.h"

#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

TEST(Win1251Test, UpperHalfMatchesIconv)
{
    if (QStandardPaths::findExecutable(QStringLiteral("iconv")).isEmpty())
        GTEST_SKIP() << "iconv is not installed";
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x98)
            continue; // no character in the code page; iconv refuses it
        QProcess iconv;
        iconv.start(QStringLiteral("iconv"),
            { QStringLiteral("-f"), QStringLiteral("CP1251"), QStringLiteral("-t"),
                QStringLiteral("UTF-8") });
        ASSERT_TRUE(iconv.waitForStarted());
        iconv.write(QByteArray(1, char(b)));
        iconv.closeWriteChannel();
        ASSERT_TRUE(iconv.waitForFinished());
        const QString expected = QString::fromUtf8(iconv.readAllStandardOutput());
        const QByteArray byte(1, char(b));
        EXPECT_EQ(Win1251::decode(byte), expected) << std::hex << b;
        EXPECT_EQ(Win1251::encode(expected), byte) << std::hex << b;
    }
}

TEST(Win1251Test, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(Win1251::encode(Win1251::decode(all)), all);
}

TEST(Win1251Test, CyrillicTextAndUnmappableCharacters)
{
    const QString place = QStringLiteral("НПФ \"Лумарис\"");
    EXPECT_EQ(Win1251::encode(place), QByteArray("\xCD\xCF\xD4 \"\xCB\xF3\xEC\xE0\xF0\xE8\xF1\""));
    EXPECT_EQ(Win1251::decode(Win1251::encode(place)), place);
    // What the code page cannot hold becomes one "?" per character.
    EXPECT_EQ(Win1251::encode(QStringLiteral("a\u4e00b\U0001F600c")), QByteArray("a?b?c"));
}

TEST(ColorsTest, RedSitsInTheLowByte)
{
    EXPECT_EQ(colorFromBgr(0x00FF8040), QColor(0x40, 0x80, 0xFF));
    EXPECT_EQ(bgrFromColor(QColor(0x1A, 0x1C, 0x20)), 0x00201C1Au);
}

} // namespace
