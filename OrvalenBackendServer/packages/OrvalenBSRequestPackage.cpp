#include "OrvalenBackendServerBase/OrvalenBSRequestPackage.h"

#include "packages/OrvalenPackageJson.h"

namespace Orvalen {

using namespace packagejson;

std::string OrvalenBSRequestPackage::toJsonString() const {
    rapidjson::Document document(rapidjson::kObjectType);
    Allocator& allocator = document.GetAllocator();
    addString(document, "sign", sign, allocator);
    document.AddMember("timestamp", timestamp, allocator);
    if (type == E_ORVALEN_REQUEST_SIGN_KEY) {
        document.AddMember("body", "null", allocator);
    } else if (body) {
        document.AddMember("body", body->toJson(static_cast<int32_t>(type), allocator), allocator);
    } else {
        PACKAGE_LOG(LEVEL_DEBUG, "Orvalen::OrvalenBSRequestPackage::toJsonString",
                    "%s body is NULL", "Orvalen::OrvalenBSRequestPackage::toJsonString");
    }
    return compactText(document);
}

}  // namespace Orvalen
