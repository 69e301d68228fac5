#include "OrvalenBackendServerBase/OrvalenOtaRequest.h"

#include "packages/OrvalenPackageJson.h"

namespace Orvalen {

using namespace packagejson;

namespace {

// The posted body and the signed text are built alike; they differ in which
// texts count as absent and in what they log.
struct BodyForm {
    bool signing;
    const char* function;
    const char* versionNameNote;

    bool carries(const std::string& text, bool always) const {
        if (!signing) return always || !text.empty();
        return !text.empty() && text != "null";
    }
};

const BodyForm kPosted{false, "Orvalen::OrvalenOtaRequest::toJson", "toJson add versionName ... "};
const BodyForm kSigned{true, "Orvalen::OrvalenOtaRequest::getSignedString",
                       "getSignedString add versionName"};

rapidjson::Value buildBody(const OrvalenOtaRequest& request, int32_t type, const BodyForm& form,
                           Allocator& allocator) {
    rapidjson::Value body(rapidjson::kObjectType);
    switch (type) {
        case E_ORVALEN_REQUEST_CHECK_UPGRADE:
        case E_ORVALEN_REQUEST_CHECK_UPGRADE_ALT:
        case E_ORVALEN_REQUEST_DOWNLOAD_URL:
            if (form.carries(request.packageCode, true)) {
                addString(body, "packageCode", request.packageCode, allocator);
            }
            if (type != E_ORVALEN_REQUEST_DOWNLOAD_URL &&
                form.carries(request.versionName, false)) {
                PACKAGE_LOG(LEVEL_WARNING, form.function, "%s", form.versionNameNote);
                addString(body, "versionName", request.versionName, allocator);
            }
            body.AddMember("versionValue", request.versionValue, allocator);
            break;
        case E_ORVALEN_REQUEST_ICON:
            body.AddMember("needIconUrl", request.needIconUrl, allocator);
            body.AddMember("packageType", request.packageType, allocator);
            break;
        default:
            break;
    }
    return body;
}

}  // namespace

rapidjson::Value OrvalenOtaRequest::toJson(int32_t type, Allocator& allocator) const {
    return buildBody(*this, type, kPosted, allocator);
}

std::string OrvalenOtaRequest::getSignedString(int32_t type) const {
    rapidjson::Document document;
    return compactText(buildBody(*this, type, kSigned, document.GetAllocator()));
}

}  // namespace Orvalen
