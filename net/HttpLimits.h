#pragma once

#include <QtGlobal>

// Bounds that keep a hostile or broken server from exhausting memory.
namespace HttpLimits {
// The largest body a download accepts.
constexpr qint64 MaxBody = qint64(64) * 1024 * 1024;
// The longest status, header or chunk-size line, and the longest header after folding.
constexpr qint64 MaxLine = 64 * 1024;
// All bytes before the body: status lines, interim responses and headers.
constexpr qint64 MaxHead = 1024 * 1024;
} // namespace HttpLimits
