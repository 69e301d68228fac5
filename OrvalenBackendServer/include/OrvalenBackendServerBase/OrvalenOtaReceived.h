#pragma once

#include <cstdint>
#include <string>

namespace Orvalen {

// The answer of the upgrade check and of the download-address request.
class OrvalenOtaReceived {
public:
    // Fills the fields from the data text of a response. Members that are
    // missing or of another JSON type keep their field as it was. False, with
    // one log line, for an empty or "null" text or one that is not a JSON
    // object.
    bool parseData(const std::string& data);

    std::string fileMd5;
    std::string fileUrl;
    std::string iconUrl;
    std::string packageCode;
    std::string packageDescription;
    // 64-bit (the Part's record has 32 bits): packages of 2 GiB and more.
    int64_t packageSize = -1;
    // The last text parsed has a packageSize that is not a non-negative JSON
    // integer; the offer cannot be downloaded within a limit.
    bool packageSizeMalformed = false;
    int32_t packageType = -1;
    int32_t upgradeType = -1;
    std::string versionName;
    int32_t versionValue = -1;
    // Beyond the Part: the vendor's Ed25519 signature of the package, base64
    // (OrvalenPackageSignature.h); empty when the answer carries none.
    std::string packageSignature;
};

}  // namespace Orvalen
