#pragma once

#include "OrvalenBackendServer/OrvalenLogSink.h"

namespace Orvalen {

// The sink slots of the two modules: the backend server (requests) and the
// download manager with its tasks.
OrvalenLogSink& backendLog();
OrvalenLogSink& downloadLog();

}  // namespace Orvalen
