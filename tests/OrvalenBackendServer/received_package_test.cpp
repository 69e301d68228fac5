#include <gtest/gtest.h>

#include <string>

#include "OrvalenBackendServerBase/OrvalenBSRecivedPackage.h"
#include "OrvalenBackendServerBase/OrvalenOtaReceived.h"

using namespace Orvalen;

namespace {

// Runs a parse with standard output captured; returns what was printed.
template <typename Parse>
std::string printedBy(Parse parse, bool& result) {
    testing::internal::CaptureStdout();
    result = parse();
    return testing::internal::GetCapturedStdout();
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(ReceivedPackage, ReadsEveryMemberAndKeepsDataAsCompactText) {
    OrvalenBSRecivedPackage package;
    ASSERT_TRUE(package.parseReceive(
        R"({ "code" : 200, "msg":"ok", "sign":"s1", "timestamp":1700000000123,
             "data": { "fileUrl" : "https://h/p.7z", "sizes":[1, 2.5, true] } })"));
    EXPECT_EQ(package.code, 200);
    EXPECT_EQ(package.msg, "ok");
    EXPECT_EQ(package.sign, "s1");
    EXPECT_EQ(package.timestamp, 1700000000123);
    EXPECT_EQ(package.data, R"({"fileUrl":"https://h/p.7z","sizes":[1,2.5,true]})");
}

TEST(ReceivedPackage, NullDataBecomesTheTextNull) {
    OrvalenBSRecivedPackage package;
    ASSERT_TRUE(package.parseReceive(R"({"code":200,"data":null})"));
    EXPECT_EQ(package.code, 200);
    EXPECT_EQ(package.data, "null");
}

TEST(ReceivedPackage, StringDataKeepsItsQuotes) {
    OrvalenBSRecivedPackage package;
    ASSERT_TRUE(package.parseReceive(R"({"code":200,"data":"k\"ey沛"})"));
    EXPECT_EQ(package.data, R"("k\"ey沛")");
}

TEST(ReceivedPackage, MissingDataIsLoggedAndLeavesDataAlone) {
    OrvalenBSRecivedPackage package;
    bool ok = false;
    const std::string out = printedBy([&] { return package.parseReceive(R"({"code":404})"); }, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(package.code, 404);
    EXPECT_EQ(package.data, "");
    EXPECT_TRUE(contains(out, "[OrvalenBackendServerBase][\x1b[32mDebug]")) << out;
    EXPECT_TRUE(contains(out, "parseReceive:[")) << out;
    EXPECT_TRUE(contains(out, "]field [data] isnull or inexist\x1b[0m")) << out;
}

TEST(ReceivedPackage, NullOrWrongTypedMembersKeepTheirFields) {
    OrvalenBSRecivedPackage package;
    package.code = 7;
    package.msg = "m";
    package.sign = "s";
    package.timestamp = 9;
    ASSERT_TRUE(package.parseReceive(
        R"({"code":"200","msg":5,"sign":null,"timestamp":"1700000000123","data":[1]})"));
    EXPECT_EQ(package.code, 7);
    EXPECT_EQ(package.msg, "m");
    EXPECT_EQ(package.sign, "s");
    EXPECT_EQ(package.timestamp, 9);
    EXPECT_EQ(package.data, "[1]");

    ASSERT_TRUE(package.parseReceive(R"({"code":2147483648,"timestamp":1.5})"));
    EXPECT_EQ(package.code, 7);
    EXPECT_EQ(package.timestamp, 9);
}

TEST(ReceivedPackage, BadInputIsRefusedWithAReason) {
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        {R"({"code":200 "msg":""})",
         "parseReceive: Missing a comma or '}' after an object member."},
        {"", "parseReceive: The document is empty."},
        {R"([{"code":200}])", "parseReceive: The document root is not an object."},
    };
    for (const auto& c : cases) {
        OrvalenBSRecivedPackage package;
        bool ok = true;
        const std::string out = printedBy([&] { return package.parseReceive(c.text); }, ok);
        EXPECT_FALSE(ok) << c.text;
        EXPECT_TRUE(contains(out, "[\x1b[31mError]")) << out;
        EXPECT_TRUE(contains(out, std::string("Orvalen::OrvalenBSRecivedPackage::") + c.reason))
            << out;
        EXPECT_EQ(package.code, 0);
    }

    OrvalenBSRecivedPackage package;
    bool ok = true;
    const std::string out = printedBy([&] { return package.parseReceive(nullptr); }, ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(contains(out, "]parseReceive input data is null\x1b[0m")) << out;
}

TEST(ReceivedPackage, DeepNestingIsRefusedWithoutExhaustingTheStack) {
    const size_t depth = 200000;
    const std::string text = "{\"data\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
    OrvalenBSRecivedPackage package;
    bool ok = true;
    const std::string out = printedBy([&] { return package.parseReceive(text.c_str()); }, ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(contains(out, "Nesting deeper than 512 levels.")) << out;

    const std::string shallow = "{\"data\":" + std::string(100, '[') + std::string(100, ']') + "}";
    EXPECT_TRUE(package.parseReceive(shallow.c_str()));
    EXPECT_EQ(package.data, std::string(100, '[') + std::string(100, ']'));
}

TEST(OtaReceived, ReadsAllTenMembers) {
    OrvalenOtaReceived received;
    ASSERT_TRUE(received.parseData(
        R"({"fileMd5":"0cc175b9c0f1b6a831c399e269772661","fileUrl":"https://h/a/peza_1.3.0.7z?t=1",)"
        R"("iconUrl":"https://h/i.png","packageCode":"peza-win64","packageDescription":"修复\n改进",)"
        R"("packageSize":1048576,"packageType":1,"upgradeType":2,"versionName":"1.3.0",)"
        R"("versionValue":10300})"));
    EXPECT_EQ(received.fileMd5, "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(received.fileUrl, "https://h/a/peza_1.3.0.7z?t=1");
    EXPECT_EQ(received.iconUrl, "https://h/i.png");
    EXPECT_EQ(received.packageCode, "peza-win64");
    EXPECT_EQ(received.packageDescription, "修复\n改进");
    EXPECT_EQ(received.packageSize, 1048576);
    EXPECT_EQ(received.packageType, 1);
    EXPECT_EQ(received.upgradeType, 2);
    EXPECT_EQ(received.versionName, "1.3.0");
    EXPECT_EQ(received.versionValue, 10300);
    EXPECT_EQ(received.packageSignature, "");
}

TEST(OtaReceived, ReadsThePackageSignatureWhenPresent) {
    OrvalenOtaReceived received;
    ASSERT_TRUE(received.parseData(R"({"versionName":"1.3.0","packageSignature":"c2ln"})"));
    EXPECT_EQ(received.versionName, "1.3.0");
    EXPECT_EQ(received.packageSignature, "c2ln");
}

TEST(OtaReceived, PackageSizeOfTwoGibibytesAndMoreIsRead) {
    OrvalenOtaReceived received;
    ASSERT_TRUE(received.parseData(R"({"packageSize":3000000000})"));
    EXPECT_EQ(received.packageSize, 3000000000LL);
}

TEST(OtaReceived, MissingOrWrongTypedMembersKeepTheirFields) {
    OrvalenOtaReceived received;
    received.fileUrl = "kept";
    ASSERT_TRUE(received.parseData(
        R"({"fileUrl":5,"packageCode":"p","packageSize":"12","packageType":null,)"
        R"("upgradeType":3000000000,"versionName":["1"],"versionValue":12.0})"));
    EXPECT_EQ(received.fileMd5, "");
    EXPECT_EQ(received.fileUrl, "kept");
    EXPECT_EQ(received.packageCode, "p");
    EXPECT_EQ(received.packageSize, -1);
    EXPECT_EQ(received.packageType, -1);
    EXPECT_EQ(received.upgradeType, -1);
    EXPECT_EQ(received.versionName, "");
    EXPECT_EQ(received.versionValue, -1);
}

TEST(OtaReceived, DeltasKeepOnlyWellTypedEntriesAndAreEmptiedByEachParse) {
    OrvalenOtaReceived received;
    ASSERT_TRUE(received.parseData(
        R"({"deltas":[{"fromVersionValue":130,"fileUrl":"https://h/d","fileMd5":"m",)"
        R"("packageSize":10,"packageSignature":"c2ln"},)"
        R"({"fromVersionValue":0,"fileUrl":"u0","fileMd5":"m","packageSize":1},)"
        R"({"fromVersionValue":"120","fileUrl":"u","fileMd5":"m","packageSize":1},)"
        R"({"fromVersionValue":121,"fileUrl":5,"fileMd5":"m","packageSize":1},)"
        R"({"fromVersionValue":122,"fileUrl":"u","fileMd5":"m","packageSize":-1},)"
        R"({"fromVersionValue":123,"fileUrl":"u","fileMd5":"m","packageSize":1.5},)"
        R"({"fromVersionValue":124,"fileUrl":"u","fileMd5":"m","packageSize":1,)"
        R"("packageSignature":7},)"
        R"({"fromVersionValue":125,"fileUrl":"u","fileMd5":"m"},7,null]})"));
    ASSERT_EQ(received.deltas.size(), 2u);
    const OrvalenDeltaOffer* offer = received.deltaFrom(130);
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(offer->fileUrl, "https://h/d");
    EXPECT_EQ(offer->fileMd5, "m");
    EXPECT_EQ(offer->packageSize, 10);
    EXPECT_EQ(offer->packageSignature, "c2ln");
    EXPECT_EQ(received.deltaFrom(0), nullptr);  // never for a value of 0 or less
    EXPECT_EQ(received.deltaFrom(120), nullptr);
    EXPECT_EQ(received.deltaFrom(131), nullptr);

    ASSERT_TRUE(received.parseData(R"({"deltas":{"fromVersionValue":130}})"));
    EXPECT_TRUE(received.deltas.empty());
    received.deltas.resize(1);
    EXPECT_FALSE(received.parseData("null"));
    EXPECT_TRUE(received.deltas.empty());
}

TEST(OtaReceived, EmptyNullOrBadDataIsRefusedWithAReason) {
    const struct {
        std::string data;
        const char* reason;
    } cases[] = {
        {"", "]parseData input data is null\x1b[0m"},
        {"null", "]parseData input data is null\x1b[0m"},
        {R"({"fileUrl":"x",})",
         "Orvalen::OrvalenOtaReceived::parseData: Missing a name for object member."},
        {R"("text")",
         "Orvalen::OrvalenOtaReceived::parseData: The document root is not an object."},
        {std::string("{\"fileUrl\":\"a\0b\"}", 17),
         "parseData: Missing a closing quotation mark in string."},
    };
    for (const auto& c : cases) {
        OrvalenOtaReceived received;
        bool ok = true;
        const std::string out = printedBy([&] { return received.parseData(c.data); }, ok);
        EXPECT_FALSE(ok) << c.data;
        EXPECT_TRUE(contains(out, "[OrvalenBackendServerBase][\x1b[31mError]")) << out;
        EXPECT_TRUE(contains(out, c.reason)) << out;
        EXPECT_EQ(received.fileUrl, "");
    }
}
