// The schema script splitter over arbitrary code page 936 bytes.
#include "platform/CodePage.h"
#include "storage/uDataModule.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString script
        = CodePage::ToUnicode(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    qsizetype total = 0;
    for (const QString& statement : TDM::SplitSqlScript(script)) {
        if (!statement.contains(QLatin1Char(';')) || statement.contains(QLatin1Char('\r'))
            || statement.contains(QLatin1Char('\n'))) {
            qFatal("a statement broke the splitting rule");
        }
        total += statement.size();
    }
    if (total > script.size()) {
        qFatal("the statements hold more than the script");
    }
    return 0;
}
