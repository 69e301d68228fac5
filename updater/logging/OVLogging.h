#pragma once

// The updater's log: levels, the logger and its statements, destinations and
// rotation.
#include "logging/OVLogDestinations.h"
#include "logging/OVLogLevel.h"
#include "logging/OVLogRotation.h"
#include "logging/OVLogger.h"
