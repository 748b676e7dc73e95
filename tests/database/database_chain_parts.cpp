#include "common/ZelmorError.h"
#include "database/ChainHeadFile.h"
#include "database/ChainKey.h"
#include "database/ReportChain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The links are the standard digests: a check made elsewhere with any
// SHA-256 or HMAC-SHA256 tool over the same text gives the same hashes.
// Keys longer than a block of SHA-256 are hashed first, as HMAC requires.
TEST(ChainKeyTest, LinksAreTheStandardDigests)
{
    const QByteArray prev = QByteArray(32, char(0xab)).toHex();
    const QByteArray text("2\x1fR\x1f"
                          "1\x1f"
                          "5");
    QByteArray longKey;
    for (int i = 0; i < 100; ++i)
        longKey += char(i);
    const struct
    {
        const char *what;
        ChainKey key;
        bool keyed;
        const char *expected;
    } cases[] = {
        { "plain", ChainKey(), false,
            "b80aefcc8b19a7bb1d87c04b7a0c5e26b8c197a7c6e8b1d4fca4ea8e918dc848" },
        { "keyed", ChainKey("a station's own secret, kept from the database"), true,
            "8a57da43711b43a8e02c03607d55c9527bef20aa171a37e7f8ead39194a960ed" },
        { "keyed, key longer than a block", ChainKey(longKey), true,
            "72e01661a0f7f13d46a990de97228dabc08528c97d23e80c655881b5da2ff043" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ChainHasher hasher(c.key);
        EXPECT_EQ(hasher.hex(c.keyed, prev, text), QByteArray(c.expected));
        // The same hasher again: nothing of the previous link stays behind.
        EXPECT_EQ(hasher.hex(c.keyed, prev, text), QByteArray(c.expected));
    }
    // The control code printed from a hash, and read back as typed.
    EXPECT_EQ(
        ReportChain::controlCode("b80aefcc8b19a7bb1d87"), QStringLiteral("B80A EFCC 8B19 A7BB"));
    EXPECT_EQ(ReportChain::normalisedCode(QStringLiteral(" b80a-EFCC 8b19 a7bb ")),
        QByteArray("b80aefcc8b19a7bb"));
    EXPECT_TRUE(ReportChain::normalisedCode(QStringLiteral("B80A EFCC 8B19")).isEmpty());
    EXPECT_TRUE(ReportChain::normalisedCode(QStringLiteral("B80A EFCC 8B19 A7BG")).isEmpty());
}

// A key file others may read proves nothing and is refused, in words; so is
// one too short to be a key, a folder or a missing file. The station then
// stores nothing rather than chaining without the key it was given.
TEST(ChainKeyTest, KeyFilesOthersCouldReadOrThatAreNoKeyAreRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray secret("a station's own secret, kept from the database");
    const auto keyFile
        = [&](const QString &name, const QByteArray &content, QFile::Permissions permissions) {
              const QString path = dir.filePath(name);
              QFile f(path);
              EXPECT_TRUE(f.open(QIODevice::WriteOnly));
              f.write(content);
              f.close();
              EXPECT_TRUE(f.setPermissions(permissions));
              return path;
          };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    const struct
    {
        const char *what;
        QString path;
        const char *reason; // empty: accepted
    } cases[] = {
        { "owner and group only",
            keyFile(QStringLiteral("good.key"), secret, owner | QFile::ReadGroup), "" },
        { "readable by everyone",
            keyFile(QStringLiteral("open.key"), secret, owner | QFile::ReadOther),
            "доступен всем" },
        { "too short", keyFile(QStringLiteral("short.key"), "0123456789", owner), "от 16 до" },
        { "a folder", dir.filePath(QStringLiteral("folder")), "не является файлом" },
        { "missing", dir.filePath(QStringLiteral("none.key")), "не найден" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        const ChainKey key = ChainKey::load(c.path, &error);
        if (*c.reason == '\0') {
            EXPECT_FALSE(key.isNull());
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            EXPECT_EQ(key.id().size(), 16);
            EXPECT_FALSE(secret.toHex().contains(key.id()));
        } else {
            EXPECT_TRUE(key.isNull());
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
        }
    }
}

// The head file keeps one line per instrument, replaced by each write; a
// line the database was found to disagree with stays, marked, until the
// administrator removes it; a damaged line is reported and the others read.
TEST(ChainHeadFileTest, LinesAreReplacedKeptLinesStayAndDamageIsReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QLatin1String(ChainHeadFile::FileName));
    const auto line = [](const char *chain, qint64 seq, int index, char digit) {
        ChainHeadFile::Line l;
        l.chain = chain;
        l.seq = seq;
        l.index = index;
        l.hash = QByteArray(64, digit);
        return l;
    };
    QString error;
    EXPECT_TRUE(ChainHeadFile::read(path, &error).isEmpty());
    EXPECT_TRUE(error.isEmpty());

    ChainHeadFile::record(path, line("7", 1, 1, 'a'));
    ChainHeadFile::record(path, line("8", 1, 2, 'b'));
    ChainHeadFile::record(path, line("7", 2, 3, 'c'));
    ChainHeadFile::Line found = line("8", 1, 2, 'b');
    found.note = QStringLiteral("записи прибора 8 удалены");
    ChainHeadFile::record(path, line("8", 5, 9, 'd'), &found);
    QList<ChainHeadFile::Line> lines = ChainHeadFile::read(path, &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].kept);
    EXPECT_EQ(lines[0].note, found.note);
    EXPECT_EQ(lines[0].hash, found.hash);
    EXPECT_EQ(lines[1].chain, QByteArray("7"));
    EXPECT_EQ(lines[1].seq, 2);
    EXPECT_EQ(lines[1].index, 3);
    EXPECT_EQ(lines[2].chain, QByteArray("8"));
    EXPECT_EQ(lines[2].seq, 5);
    // Written under another name and renamed: nothing else is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { ChainHeadFile::FileName });

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("9\tnot a number\t1\t" + QByteArray(64, 'e') + "\n");
    f.close();
    lines = ChainHeadFile::read(path, &error);
    EXPECT_EQ(lines.size(), 3);
    EXPECT_TRUE(error.contains(QStringLiteral("испорчен (строка"))) << error.toStdString();

    // A folder that cannot be written to: the reason, and the file as it was
    // (not seen when the tests run with rights that ignore permissions).
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    QFile probe(dir.filePath(QStringLiteral("probe")));
    if (!probe.open(QIODevice::WriteOnly)) {
        EXPECT_THROW(ChainHeadFile::record(path, line("7", 3, 4, 'f')), ZelmorError);
        EXPECT_EQ(ChainHeadFile::read(path, &error).value(1).seq, 2);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
