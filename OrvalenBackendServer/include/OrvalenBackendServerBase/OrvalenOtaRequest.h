#pragma once

#include "OrvalenBackendServerBase/OrvalenBSBase.h"

namespace Orvalen {

// Body of the upgrade check and of the download-address request.
class OrvalenOtaRequest : public OrvalenBSBase {
public:
    rapidjson::Value toJson(int32_t type,
                            rapidjson::Document::AllocatorType& allocator) const override;
    std::string getSignedString(int32_t type) const override;

    bool needIconUrl = false;
    std::string packageCode;
    int32_t packageType = -1;
    std::string versionName;
    int32_t versionValue = -1;
};

}  // namespace Orvalen
