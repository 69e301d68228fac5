#include "OrvalenBackendServerBase/OrvalenOtaReceived.h"

#include "packages/OrvalenPackageJson.h"

namespace Orvalen {

using namespace packagejson;

bool OrvalenOtaReceived::parseData(const std::string& data) {
    static const char* const kFunction = "Orvalen::OrvalenOtaReceived::parseData";
    if (data.empty() || data == "null") {
        PACKAGE_LOG(LEVEL_ERROR, kFunction, "parseData input data is null");
        return false;
    }
    rapidjson::Document document;
    if (!parseObject(document, data.data(), data.size(), kFunction)) return false;

    readString(document, "fileMd5", fileMd5);
    readString(document, "fileUrl", fileUrl);
    readString(document, "iconUrl", iconUrl);
    readString(document, "packageCode", packageCode);
    readString(document, "packageDescription", packageDescription);
    readInt64(document, "packageSize", packageSize);
    // Present, it is a limit: anything but a non-negative integer (-1, a
    // string, 1073741824.0) would mean none.
    const auto size = document.FindMember("packageSize");
    packageSizeMalformed =
        size != document.MemberEnd() && !(size->value.IsInt64() && size->value.GetInt64() >= 0);
    readInt(document, "packageType", packageType);
    readInt(document, "upgradeType", upgradeType);
    readString(document, "versionName", versionName);
    readInt(document, "versionValue", versionValue);
    readString(document, "packageSignature", packageSignature);
    return true;
}

}  // namespace Orvalen
