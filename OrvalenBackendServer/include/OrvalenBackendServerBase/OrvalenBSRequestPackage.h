#pragma once

#include <memory>

#include "OrvalenBackendServerBase/OrvalenBSBase.h"

namespace Orvalen {

// Request envelope: {"sign":...,"timestamp":...,"body":...}.
class OrvalenBSRequestPackage {
public:
    // The compact text that is posted.
    std::string toJsonString() const;

    uint32_t type = 0;
    int64_t timestamp = 0;  // milliseconds since 1970-01-01 00:00 UTC
    std::string sign;
    std::shared_ptr<OrvalenBSBase> body;
};

}  // namespace Orvalen
