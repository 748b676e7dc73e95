// Feeds arbitrary bytes to the ini reader as the text of a settings file and
// checks what the program relies on: every key reads without a crash, a
// rewrite is stable, and writing one key changes no other key.
#include "common/NumberText.h"
#include "config/IniDocument.h"

#include <QByteArray>
#include <QMap>
#include <QPair>
#include <cstdint>
#include <cstdlib>

namespace {

using Entries = QMap<QPair<QString, QString>, QString>;

// The value the reader gives for every (section, key) the text names.
Entries readAll(const IniDocument &doc)
{
    Entries entries;
    for (const QString &section : doc.sections()) {
        for (const QString &key : doc.keys(section)) {
            const auto value = doc.value(section, key);
            if (!value)
                continue; // a key of a later section of the same name
            entries.insert({ section.toCaseFolded(), key.toCaseFolded() }, *value);
            (void)tryStrToInt(*value);
            (void)tryStrToFloat(*value, QLatin1Char(','));
        }
    }
    return entries;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    IniDocument doc = IniDocument::parse(bytes);
    const Entries before = readAll(doc);

    const QByteArray once = doc.toBytes();
    check(IniDocument::parse(once).toBytes() == once);

    const QString section = QStringLiteral("Connect");
    const QString key = QStringLiteral("ComName");
    doc.setValue(section, key, QStringLiteral("COM1"));
    const IniDocument reread = IniDocument::parse(doc.toBytes());
    check(reread.value(section, key) == QStringLiteral("COM1"));

    Entries after = readAll(reread);
    after.remove({ section.toCaseFolded(), key.toCaseFolded() });
    Entries expected = before;
    expected.remove({ section.toCaseFolded(), key.toCaseFolded() });
    check(after == expected);
    return 0;
}
