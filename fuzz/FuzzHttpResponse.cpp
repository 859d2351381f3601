// The response reader over arbitrary bytes: the first byte sets how the stream is cut into reads.
#include "fuzz/TFuzzTransport.h"
#include "net/PageText.h"
#include "net/THttpResponseReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    TFuzzTransport transport(bytes, data[0] == 0 ? 1 << 16 : data[0]);
    const THttpResult result = THttpResponseReader(transport, 1000).Read();
    if (result.ok) {
        PageText::FromUtf8(result.body);
    }
    return 0;
}
