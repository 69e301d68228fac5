// The package signature: the documented statement and a known-answer
// signature, the verdicts of the check, and the key list of the build.
#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "OrvalenBackendServer/OrvalenPackageSignature.h"
#include "TestServers.h"
#include "TestSigningKeys.h"

using namespace Orvalen;

namespace {

std::vector<SigningPublicKey> keysOf(const std::string& list) {
    std::vector<SigningPublicKey> keys;
    std::string error;
    EXPECT_TRUE(parsePublicKeys(list, keys, error)) << error;
    return keys;
}

}  // namespace

TEST(PackageSignature, KnownAnswerGivesTheDocumentedStatementAndAVerifyingSignature) {
    testsupport::TempDir dir;
    const std::string package = dir.file("peza-studio-2.0.1.7z");
    testsupport::writeFile(package, testkeys::kKnownPackage);

    uint64_t size = 0;
    std::string sha256;
    ASSERT_TRUE(hashPackageFile(package, size, sha256));
    const std::string statement = packageStatement("LUMI_DESK", "2.0.1", size, sha256);
    EXPECT_EQ(statement, testkeys::kKnownStatement);
    EXPECT_EQ(publicKeyOfSecret(testkeys::kSecretA), testkeys::kPublicA);
    EXPECT_EQ(signStatement(testkeys::kSecretA, statement), testkeys::kKnownSignature);

    // libsodium itself, not through our verifier.
    std::vector<unsigned char> signature;
    std::vector<unsigned char> publicKey;
    ASSERT_TRUE(fromBase64(testkeys::kKnownSignature, signature));
    ASSERT_TRUE(fromBase64(testkeys::kPublicA, publicKey));
    ASSERT_EQ(signature.size(), 64u);
    ASSERT_EQ(publicKey.size(), 32u);
    EXPECT_EQ(crypto_sign_verify_detached(signature.data(),
                                          reinterpret_cast<const unsigned char*>(statement.data()),
                                          statement.size(), publicKey.data()),
              0);

    std::string checked;
    EXPECT_EQ(verifyPackageFile(keysOf(testkeys::kPublicA), package, "LUMI_DESK", "2.0.1",
                                testkeys::kKnownSignature, nullptr, &checked),
              SignatureVerdict::Verified);
    EXPECT_EQ(checked, testkeys::kKnownStatement);
}

TEST(PackageSignature, EachRefusalHasItsVerdict) {
    testsupport::TempDir dir;
    const std::string package = dir.file("p.7z");
    testsupport::writeFile(package, testkeys::kKnownPackage);
    const std::string tampered = dir.file("tampered.7z");
    testsupport::writeFile(tampered, std::string(testkeys::kKnownPackage) + "!");
    const std::string good = testkeys::kKnownSignature;
    std::vector<unsigned char> shortSignature(63, 7);

    const struct {
        const char* name;
        std::string keys, path, code, version, signature;
        SignatureVerdict verdict;
    } cases[] = {
        {"signed", testkeys::kPublicA, package, "LUMI_DESK", "2.0.1", good,
         SignatureVerdict::Verified},
        {"second key", std::string(testkeys::kPublicC) + "," + testkeys::kPublicA, package,
         "LUMI_DESK", "2.0.1", good, SignatureVerdict::Verified},
        {"no signature", testkeys::kPublicA, package, "LUMI_DESK", "2.0.1", "",
         SignatureVerdict::Missing},
        {"not base64", testkeys::kPublicA, package, "LUMI_DESK", "2.0.1", "not base64!",
         SignatureVerdict::Malformed},
        {"trailing line feed", testkeys::kPublicA, package, "LUMI_DESK", "2.0.1", good + "\n",
         SignatureVerdict::Malformed},
        {"63 bytes", testkeys::kPublicA, package, "LUMI_DESK", "2.0.1",
         toBase64(shortSignature.data(), shortSignature.size()), SignatureVerdict::Malformed},
        {"other key", testkeys::kPublicC, package, "LUMI_DESK", "2.0.1", good,
         SignatureVerdict::DoesNotVerify},
        {"tampered", testkeys::kPublicA, tampered, "LUMI_DESK", "2.0.1", good,
         SignatureVerdict::DoesNotVerify},
        {"other version", testkeys::kPublicA, package, "LUMI_DESK", "2.0.2", good,
         SignatureVerdict::DoesNotVerify},
        {"other code", testkeys::kPublicA, package, "LUMI_DESK_PRO", "2.0.1", good,
         SignatureVerdict::DoesNotVerify},
        {"unreadable package", testkeys::kPublicA, dir.file("none.7z"), "LUMI_DESK", "2.0.1", good,
         SignatureVerdict::DoesNotVerify},
        {"empty version", testkeys::kPublicA, package, "LUMI_DESK", "", good,
         SignatureVerdict::StatementMismatch},
        {"version with a line feed", testkeys::kPublicA, package, "LUMI_DESK", "2.0.1\n26", good,
         SignatureVerdict::StatementMismatch},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(verifyPackageFile(keysOf(c.keys), c.path, c.code, c.version, c.signature),
                  c.verdict)
            << c.name;
    }
    EXPECT_STREQ(signatureVerdictText(SignatureVerdict::DoesNotVerify), "does not verify");
    EXPECT_STREQ(signatureVerdictText(SignatureVerdict::StatementMismatch), "statement mismatch");
}

TEST(PackageSignature, KeyListTakesCommasAndBlanksAndNamesABadKey) {
    std::vector<SigningPublicKey> keys;
    std::string error;
    EXPECT_TRUE(parsePublicKeys(
        std::string(" ") + testkeys::kPublicA + " , " + testkeys::kPublicB + ",", keys, error));
    EXPECT_EQ(keys.size(), 2u);
    EXPECT_TRUE(parsePublicKeys("", keys, error));
    EXPECT_TRUE(keys.empty());

    // A secret key is no public key; the good key stays usable.
    EXPECT_FALSE(
        parsePublicKeys(std::string(testkeys::kPublicA) + "," + testkeys::kSecretB, keys, error));
    EXPECT_EQ(keys.size(), 1u);
    EXPECT_NE(error.find(testkeys::kSecretB), std::string::npos) << error;
}
