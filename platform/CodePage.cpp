#include "platform/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace CodePage {

QString ToUnicode(QByteArrayView bytes)
{
    QStringDecoder decoder("GBK");
    return decoder.decode(bytes);
}

QByteArray FromUnicode(QStringView text)
{
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

} // namespace CodePage
