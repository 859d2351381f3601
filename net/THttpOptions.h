#pragma once

#include "net/TAbortSignal.h"

#include <memory>

// The waits that bound one download, so that no server can hold its caller longer than the deadline.
struct THttpOptions
{
    int ConnectMs = 10000; // the longest wait for the connection, over all addresses of the host
    int SilenceMs = 30000; // the longest time in which nothing arrives; it starts again with each packet
    int DeadlineMs = 60000; // the longest whole exchange, from the first connection attempt to the last byte
    std::shared_ptr<TAbortSignal> Abort; // when fired, every wait ends at once; may be null
};
