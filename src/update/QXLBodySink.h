#pragma once

#include <cstddef>
#include <string>

// Where a download's body goes instead of a file of the download directory: the fetcher hands
// it the body block by block as it arrives, once the reply's status said 200. Every method
// returns an empty text on success, otherwise why not, for the log.
class IQXLBodySink {
public:
    virtual ~IQXLBodySink() = default;
    // Starts anew, forgetting what an earlier attempt gave: each server of a failover begins
    // here.
    virtual std::wstring Begin() = 0;
    virtual std::wstring Write(const char* bytes, std::size_t size) = 0;
    // The body ended whole.
    virtual std::wstring End() = 0;
};
