#pragma once

#include <QString>
#include <cstdio>

namespace OVLogging {

// Failures of the log itself cannot go into the log: they are reported once
// on standard error, prefixed "OVLog: ".
inline void reportLogFailure(const QString& text) {
    std::fprintf(stderr, "OVLog: %s\n", text.toLocal8Bit().constData());
}

}  // namespace OVLogging
