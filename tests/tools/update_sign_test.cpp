// update-sign as a publisher runs it: keygen, sign, verify, the known answer,
// and the refusals of bad arguments and unreadable files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestServers.h"
#include "TestSigningKeys.h"

using testsupport::readFile;
using testsupport::writeFile;

namespace {

struct ToolRun {
    int status = -1;
    std::string out;  // standard output, lines joined with "\n"
};

ToolRun updateSign(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), UPDATE_SIGN);
    testsupport::ChildProcess child(arguments);
    ToolRun run;
    // Blank lines (of --help) are left out.
    while (!child.outputEnded()) {
        const std::string line = child.readLine(20000);
        if (!line.empty()) run.out += line + "\n";
    }
    run.status = child.wait();
    return run;
}

class UpdateSign : public testing::Test {
protected:
    void SetUp() override {
        writeFile(package(), testkeys::kKnownPackage);
        writeFile(mDir.file("a.key"), std::string(testkeys::kSecretA) + "\n");
    }
    std::string package() const { return mDir.file("peza-studio-2.0.1.7z"); }
    ToolRun verify(const std::string& keys, const std::string& signature,
                   const std::string& version = "2.0.1") {
        return updateSign({"verify", "--public-key", keys, "--package", package(), "--code",
                           "LUMI_DESK", "--version", version, "--signature", signature});
    }

    testsupport::TempDir mDir;
};

}  // namespace

TEST_F(UpdateSign, SignsTheKnownAnswerAndVerifyAgrees) {
    const ToolRun mSigned = updateSign({"sign", "--key", mDir.file("a.key"), "--package", package(),
                                        "--code", "LUMI_DESK", "--version", "2.0.1"});
    EXPECT_EQ(mSigned.status, 0);
    EXPECT_EQ(mSigned.out, std::string(testkeys::kKnownSignature) + "\n");

    EXPECT_EQ(verify(testkeys::kPublicA, testkeys::kKnownSignature).status, 0);
    // Rotation: any key of the list.
    const ToolRun rotated = verify(std::string(testkeys::kPublicC) + "," + testkeys::kPublicA,
                                   testkeys::kKnownSignature);
    EXPECT_EQ(rotated.status, 0);
    EXPECT_EQ(rotated.out, "verified with key 2 of 2\n");

    const ToolRun otherVersion = verify(testkeys::kPublicA, testkeys::kKnownSignature, "2.0.2");
    EXPECT_EQ(otherVersion.status, 1);
    EXPECT_EQ(otherVersion.out, "refused: does not verify\n");
    EXPECT_EQ(verify(testkeys::kPublicA, "bm90IGEgc2lnbmF0dXJl").out, "refused: malformed\n");
}

TEST_F(UpdateSign, KeygenWritesAPrivateSecretAndPrintsTheCMakeForm) {
    const std::string keys = mDir.file("keys");
    const ToolRun made = updateSign({"keygen", keys});
    ASSERT_EQ(made.status, 0);
    const std::string publicKey = readFile(keys + "/public.key");
    ASSERT_EQ(publicKey.size(), 45u);  // 44 characters and a line feed
    EXPECT_EQ(made.out, "-DUPDATE_SIGNING_PUBLIC_KEYS=" + publicKey);
    struct stat info {};
    ASSERT_EQ(stat((keys + "/secret.key").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const ToolRun mSigned = updateSign({"sign", "--key", keys + "/secret.key", "--package",
                                        package(), "--code", "LUMI_DESK", "--version", "2.0.1"});
    ASSERT_EQ(mSigned.status, 0);
    EXPECT_EQ(verify(publicKey.substr(0, 44), mSigned.out.substr(0, 88)).status, 0);

    // A second keygen never replaces a key.
    const std::string secret = readFile(keys + "/secret.key");
    EXPECT_EQ(updateSign({"keygen", keys}).status, 2);
    EXPECT_EQ(readFile(keys + "/secret.key"), secret);
}

TEST_F(UpdateSign, DeltaSignaturesPassOnlyAsTheDeltaOfTheirVersion) {
    const ToolRun delta =
        updateSign({"sign", "--key", mDir.file("a.key"), "--package", package(), "--code",
                    "LUMI_DESK", "--version", "2.0.1", "--delta-from", "200"});
    ASSERT_EQ(delta.status, 0);
    const std::string signature = delta.out.substr(0, delta.out.size() - 1);
    EXPECT_NE(signature, testkeys::kKnownSignature);
    const auto verifyAs = [&](const std::string& signatureText, const char* from) {
        std::vector<std::string> arguments = {"verify",      "--public-key", testkeys::kPublicA,
                                              "--package",   package(),      "--code",
                                              "LUMI_DESK",   "--version",    "2.0.1",
                                              "--signature", signatureText};
        if (from != nullptr) arguments.insert(arguments.end(), {"--delta-from", from});
        return updateSign(arguments).status;
    };
    EXPECT_EQ(verifyAs(signature, "200"), 0);
    EXPECT_EQ(verifyAs(signature, nullptr), 1);                // not as a full package
    EXPECT_EQ(verifyAs(signature, "201"), 1);                  // not as another version's delta
    EXPECT_EQ(verifyAs(testkeys::kKnownSignature, "200"), 1);  // a full package is no delta
}

TEST_F(UpdateSign, BadArgumentsAndUnreadableFilesExitTwo) {
    const std::string key = mDir.file("a.key");
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"publish"},
        {"keygen"},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK"},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK", "--version"},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK", "--version", "2.0.1",
         "--colour", "red"},
        {"sign", "--key", mDir.file("none.key"), "--package", package(), "--code", "LUMI_DESK",
         "--version", "2.0.1"},
        {"sign", "--key", package(), "--package", package(), "--code", "LUMI_DESK", "--version",
         "2.0.1"},
        {"sign", "--key", key, "--package", mDir.file("none.7z"), "--code", "LUMI_DESK",
         "--version", "2.0.1"},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK", "--version", ""},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK", "--version", "2.0.1",
         "--delta-from", "0"},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK", "--version", "2.0.1",
         "--delta-from", "2147483648"},
        {"sign", "--key", key, "--package", package(), "--code", "LUMI_DESK", "--version", "2.0.1",
         "--delta-from", "+200"},
        {"verify", "--public-key", "short", "--package", package(), "--code", "LUMI_DESK",
         "--version", "2.0.1", "--signature", testkeys::kKnownSignature},
        {"verify", "--public-key", testkeys::kPublicA, "--package", mDir.file("none.7z"), "--code",
         "LUMI_DESK", "--version", "2.0.1", "--signature", testkeys::kKnownSignature},
    };
    for (const auto& arguments : refused) {
        std::string shown;
        for (const std::string& a : arguments) shown += a + " ";
        EXPECT_EQ(updateSign(arguments).status, 2) << shown;
    }
}

TEST_F(UpdateSign, HelpDocumentsTheStatementAndKeyFormats) {
    const ToolRun help = updateSign({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* text :
         {"secret.key", "public.key", "64-byte Ed25519 secret key", "32-byte Ed25519 public key",
          "lower-case hex", "-DUPDATE_SIGNING_PUBLIC_KEYS="}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    }
}
