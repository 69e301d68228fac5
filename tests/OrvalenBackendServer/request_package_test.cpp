#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "OrvalenBackendServerBase/OrvalenBSRequestPackage.h"
#include "OrvalenBackendServerBase/OrvalenOtaRequest.h"

using namespace Orvalen;

namespace {

const char* const kSign = "0123456789abcdef0123456789abcdef";

std::shared_ptr<OrvalenOtaRequest> request(const std::string& packageCode, int32_t versionValue,
                                           const std::string& versionName = "") {
    auto body = std::make_shared<OrvalenOtaRequest>();
    body->packageCode = packageCode;
    body->versionValue = versionValue;
    body->versionName = versionName;
    return body;
}

std::string posted(uint32_t type, const std::shared_ptr<OrvalenBSBase>& body) {
    OrvalenBSRequestPackage package;
    package.type = type;
    package.timestamp = 1700000000123;
    package.sign = kSign;
    package.body = body;
    return package.toJsonString();
}

std::string envelope(const std::string& body) {
    return std::string("{\"sign\":\"") + kSign + "\",\"timestamp\":1700000000123,\"body\":" + body +
           "}";
}

}  // namespace

TEST(RequestPackage, UpgradeCheckPostsAndSignsTheSameBody) {
    const auto body = request("peza-win64", 10203);
    const std::string expected = R"({"packageCode":"peza-win64","versionValue":10203})";
    EXPECT_EQ(posted(1, body), envelope(expected));
    EXPECT_EQ(body->getSignedString(1), expected);
}

TEST(RequestPackage, DownloadAddressRequestCarriesNoVersionName) {
    const auto body = request("peza-win64", 10300, "1.3.0");
    const std::string expected = R"({"packageCode":"peza-win64","versionValue":10300})";
    EXPECT_EQ(posted(3, body), envelope(expected));
    EXPECT_EQ(body->getSignedString(3), expected);
}

TEST(RequestPackage, EmptyOrNullPackageCodeIsPostedButNotSigned) {
    for (const char* code : {"", "null"}) {
        const auto body = request(code, 5);
        for (uint32_t type : {1u, 3u}) {
            EXPECT_EQ(posted(type, body), envelope(std::string("{\"packageCode\":\"") + code +
                                                   "\",\"versionValue\":5}"))
                << type << " '" << code << "'";
            EXPECT_EQ(body->getSignedString(type), R"({"versionValue":5})");
        }
    }
}

TEST(RequestPackage, VersionNameIsAddedWithAWarningUnlessEmptyOrNullWhenSigned) {
    testing::internal::CaptureStdout();
    const auto named = request("p", 7, "1.0.7");
    EXPECT_EQ(posted(1, named),
              envelope(R"({"packageCode":"p","versionName":"1.0.7","versionValue":7})"));
    EXPECT_EQ(named->getSignedString(4),
              R"({"packageCode":"p","versionName":"1.0.7","versionValue":7})");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(
        out.find("[\x1b[33mWarning]OrvalenOtaRequest.cpp::Orvalen::OrvalenOtaRequest::toJson:["),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("]toJson add versionName ... \x1b[0m"), std::string::npos);
    EXPECT_NE(out.find("]getSignedString add versionName\x1b[0m"), std::string::npos);

    const auto nullName = request("p", 7, "null");
    EXPECT_EQ(posted(1, nullName),
              envelope(R"({"packageCode":"p","versionName":"null","versionValue":7})"));
    EXPECT_EQ(nullName->getSignedString(1), R"({"packageCode":"p","versionValue":7})");
}

TEST(RequestPackage, TextsAreCopiedUnchangedExceptJsonEscapes) {
    const auto chinese = request("沛扎直播", 1);
    EXPECT_EQ(posted(1, chinese), envelope(R"({"packageCode":"沛扎直播","versionValue":1})"));
    EXPECT_EQ(chinese->getSignedString(1), R"({"packageCode":"沛扎直播","versionValue":1})");

    const auto escaped = request("a\"b\\c\n/\x01", 1);
    EXPECT_EQ(escaped->getSignedString(1),
              R"({"packageCode":"a\"b\\c\n/\u0001","versionValue":1})");
}

TEST(RequestPackage, KeyRequestCarriesTheStringNull) {
    OrvalenBSRequestPackage package;
    EXPECT_EQ(package.toJsonString(), R"({"sign":"","timestamp":0,"body":"null"})");
    package.body = request("p", 1);
    EXPECT_EQ(package.toJsonString(), R"({"sign":"","timestamp":0,"body":"null"})");
}

TEST(RequestPackage, MissingBodyIsLeftOutAndLogged) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(posted(1, nullptr),
              std::string("{\"sign\":\"") + kSign + "\",\"timestamp\":1700000000123}");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[OrvalenBackendServerBase][\x1b[32mDebug]"), std::string::npos);
    EXPECT_NE(out.find("]Orvalen::OrvalenBSRequestPackage::toJsonString body is NULL\x1b[0m"),
              std::string::npos)
        << out;
}

TEST(RequestPackage, OtherTypesCarryTheirOwnMembers) {
    auto body = request("p", 1);
    body->needIconUrl = true;
    body->packageType = 2;
    EXPECT_EQ(posted(2, body), envelope(R"({"needIconUrl":true,"packageType":2})"));
    EXPECT_EQ(body->getSignedString(2), R"({"needIconUrl":true,"packageType":2})");
    EXPECT_EQ(posted(9, body), envelope("{}"));
    EXPECT_EQ(body->getSignedString(9), "{}");
    EXPECT_EQ(body->getSignedString(-1), "{}");
}
