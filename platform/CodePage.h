#pragma once

#include <QByteArray>
#include <QString>

// The program's code page: GBK (code page 936), whatever the locale.
namespace CodePage {
// Bytes in code page 936 to text.
QString ToUnicode(QByteArrayView bytes);
// Text to code page 936 bytes; characters the code page lacks become "?".
QByteArray FromUnicode(QStringView text);
} // namespace CodePage
