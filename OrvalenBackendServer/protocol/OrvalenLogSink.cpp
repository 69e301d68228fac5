#include "OrvalenBackendServer/OrvalenLogSink.h"

#include <cstdio>

#include "OrvalenBackendServer/OrvalenStdoutLog.h"

namespace Orvalen {

void OrvalenLogSink::set(IOrvalenDebugLog* sink) {
    if (sink) mSink.store(sink);
}

void OrvalenLogSink::setIfEmpty(IOrvalenDebugLog* sink) {
    IOrvalenDebugLog* none = nullptr;
    mSink.compare_exchange_strong(none, sink);
}

void OrvalenLogSink::release(IOrvalenDebugLog* sink) {
    mSink.compare_exchange_strong(sink, nullptr);
}

void OrvalenLogSink::printLog(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    IOrvalenDebugLog* sink = mSink.load();
    if (sink) {
        char message[kMaxLogMessage + 1] = {0};
        std::vsnprintf(message, sizeof message, format, args);
        sink->printLog(level, "%s", message);
    } else {
        vprintStdoutLog(mTag, level, format, args);
    }
    va_end(args);
}

}  // namespace Orvalen
