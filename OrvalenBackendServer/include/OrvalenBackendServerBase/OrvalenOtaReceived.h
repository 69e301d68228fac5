#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Orvalen {

// One delta package of the download-address answer: the offered release
// as patches against the installation of fromVersionValue.
struct OrvalenDeltaOffer {
    int32_t fromVersionValue = -1;
    std::string fileUrl;
    std::string fileMd5;
    int64_t packageSize = -1;
    std::string packageSignature;  // empty when the answer carries none
};

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
    // The "deltas" array, emptied at the start of every parse. An entry
    // whose fromVersionValue is not an integer, fileUrl or fileMd5 not a
    // string, packageSize not a non-negative integer, or packageSignature
    // present but not a string is left out.
    std::vector<OrvalenDeltaOffer> deltas;

    // The delta for an installation of versionValue; none for a value of 0
    // or less, or when no entry has it.
    const OrvalenDeltaOffer* deltaFrom(int32_t versionValue) const;
};

}  // namespace Orvalen
