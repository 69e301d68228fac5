#include "protocol/OrvalenModuleLogs.h"

namespace Orvalen {

OrvalenLogSink& backendLog() {
    static OrvalenLogSink sink("OrvalenBackendServer");
    return sink;
}

OrvalenLogSink& downloadLog() {
    static OrvalenLogSink sink("OrvalenDownloadManager");
    return sink;
}

}  // namespace Orvalen
