#include "OrvalenBackendServerBase/OrvalenOtaReceived.h"

#include "packages/OrvalenPackageJson.h"

namespace Orvalen {

using namespace packagejson;

namespace {

bool readDelta(const rapidjson::Value& item, OrvalenDeltaOffer& offer) {
    if (!item.IsObject()) return false;
    const auto from = item.FindMember("fromVersionValue");
    const auto url = item.FindMember("fileUrl");
    const auto md5 = item.FindMember("fileMd5");
    const auto size = item.FindMember("packageSize");
    const auto signature = item.FindMember("packageSignature");
    const auto end = item.MemberEnd();
    if (from == end || !from->value.IsInt() || url == end || !url->value.IsString() || md5 == end ||
        !md5->value.IsString() || size == end || !size->value.IsInt64() ||
        size->value.GetInt64() < 0 || (signature != end && !signature->value.IsString())) {
        return false;
    }
    offer.fromVersionValue = from->value.GetInt();
    offer.fileUrl = url->value.GetString();
    offer.fileMd5 = md5->value.GetString();
    offer.packageSize = size->value.GetInt64();
    if (signature != end) offer.packageSignature = signature->value.GetString();
    return true;
}

}  // namespace

const OrvalenDeltaOffer* OrvalenOtaReceived::deltaFrom(int32_t versionValue) const {
    if (versionValue <= 0) return nullptr;
    for (const OrvalenDeltaOffer& offer : deltas) {
        if (offer.fromVersionValue == versionValue) return &offer;
    }
    return nullptr;
}

bool OrvalenOtaReceived::parseData(const std::string& data) {
    static const char* const kFunction = "Orvalen::OrvalenOtaReceived::parseData";
    deltas.clear();
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
    const auto list = document.FindMember("deltas");
    if (list != document.MemberEnd() && list->value.IsArray()) {
        for (const auto& item : list->value.GetArray()) {
            OrvalenDeltaOffer offer;
            if (readDelta(item, offer)) deltas.push_back(offer);
        }
    }
    return true;
}

}  // namespace Orvalen
