#include "OrvalenBackendServerBase/OrvalenBSRecivedPackage.h"

#include <cstring>

#include "packages/OrvalenPackageJson.h"

namespace Orvalen {

using namespace packagejson;

bool OrvalenBSRecivedPackage::parseReceive(const char* text) {
    static const char* const kFunction = "Orvalen::OrvalenBSRecivedPackage::parseReceive";
    if (!text) {
        PACKAGE_LOG(LEVEL_ERROR, kFunction, "parseReceive input data is null");
        return false;
    }
    rapidjson::Document document;
    if (!parseObject(document, text, std::strlen(text), kFunction)) return false;

    readInt(document, "code", code);
    readString(document, "msg", msg);
    readString(document, "sign", sign);
    readInt64(document, "timestamp", timestamp);

    const auto member = document.FindMember("data");
    if (member == document.MemberEnd()) {
        PACKAGE_LOG(LEVEL_DEBUG, kFunction, "field [data] isnull or inexist");
    } else {
        data = compactText(member->value);
    }
    return true;
}

}  // namespace Orvalen
