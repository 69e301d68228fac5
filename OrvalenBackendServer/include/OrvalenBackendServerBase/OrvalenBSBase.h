#pragma once

#include <rapidjson/document.h>

#include <cstdint>
#include <string>

namespace Orvalen {

// Request types: which members a request body carries.
enum OrvalenRequestType : int32_t {
    E_ORVALEN_REQUEST_SIGN_KEY = 0,       // GET, no body
    E_ORVALEN_REQUEST_CHECK_UPGRADE = 1,  // packageCode, versionName, versionValue
    E_ORVALEN_REQUEST_ICON = 2,           // needIconUrl, packageType
    E_ORVALEN_REQUEST_DOWNLOAD_URL = 3,   // packageCode, versionValue
    E_ORVALEN_REQUEST_CHECK_UPGRADE_ALT = 4,
};

// A request body: the object that is posted, and the canonical text that is
// signed. The two differ in which empty members they leave out.
class OrvalenBSBase {
public:
    virtual ~OrvalenBSBase() = default;
    virtual rapidjson::Value toJson(int32_t type,
                                    rapidjson::Document::AllocatorType& allocator) const = 0;
    virtual std::string getSignedString(int32_t type) const = 0;
};

}  // namespace Orvalen
