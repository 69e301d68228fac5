#pragma once

#include <atomic>

#include "common/OrvalenDebugLog.h"

namespace Orvalen {

// The current log sink of one module (backend server, downloads). It does not
// own the sink. While none is installed, messages go to standard output in
// the default sinks' form with the module's tag, so logging never needs a
// sink to exist first.
class OrvalenLogSink {
public:
    explicit OrvalenLogSink(const char* tag) : mTag(tag) {}
    OrvalenLogSink(const OrvalenLogSink&) = delete;
    OrvalenLogSink& operator=(const OrvalenLogSink&) = delete;

    // A given sink replaces the current one; none keeps it.
    void set(IOrvalenDebugLog* sink);
    // Installs the sink only where none is installed yet.
    void setIfEmpty(IOrvalenDebugLog* sink);
    // Uninstalls the sink if it is the current one; a sink calls this before
    // it goes away so that nothing logs into a deleted object.
    void release(IOrvalenDebugLog* sink);
    IOrvalenDebugLog* get() const { return mSink.load(); }

    void printLog(int level, const char* format, ...) ORVALEN_PRINTF_FORMAT(3, 4);

private:
    const char* mTag;
    std::atomic<IOrvalenDebugLog*> mSink{nullptr};
};

}  // namespace Orvalen
