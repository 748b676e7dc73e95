#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the 8-bit code page of the program's text files (ini files).
namespace Win1251 {

QString decode(const QByteArray &bytes);
// Characters the code page cannot hold become "?".
QByteArray encode(const QString &text);

} // namespace Win1251
