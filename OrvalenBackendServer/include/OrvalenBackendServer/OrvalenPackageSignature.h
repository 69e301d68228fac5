#pragma once

// Package signatures: the vendor signs a short statement about each release
// with an Ed25519 key that never lives on the update server; the client checks
// the downloaded package against the public keys built into it. libsodium; not
// part of a Windows cross-build.
//
// The statement is four lines, each followed by a line feed:
//   the package code the client asked for (its request's packageCode)
//   the versionName of the download-address answer
//   the package's size in bytes, in decimal
//   the package's SHA-256 in lower-case hex
// and, for a delta package, a fifth: "delta <fromVersionValue>".
// The signature is Ed25519, detached, in base64 (standard alphabet, padded):
// the packageSignature member of the download-address answer.
// Keys are base64 of libsodium's raw keys: 32 bytes public, 64 bytes secret
// (seed followed by the public key).

#include <cstdint>
#include <string>
#include <vector>

namespace Orvalen {

using SigningPublicKey = std::vector<unsigned char>;

enum class SignatureVerdict {
    Verified,
    Missing,            // no signature in the answer
    Malformed,          // not base64 of 64 bytes
    DoesNotVerify,      // not valid under any key for this statement
    StatementMismatch,  // the offer cannot form a statement (empty version, line break)
};

// "verified", "missing", "malformed", "does not verify", "statement mismatch".
const char* signatureVerdictText(SignatureVerdict verdict);

// The canonical statement; empty when the code or the version is empty or holds
// a line break, since such a statement could not be told apart. A delta
// package (deltaFromVersionValue > 0: the version value of the installation
// it patches) adds a fifth line, "delta <value>", so that a signed delta can
// never pass as a full package nor as the delta of another version.
std::string packageStatement(const std::string& packageCode, const std::string& versionName,
                             uint64_t size, const std::string& sha256Hex,
                             int32_t deltaFromVersionValue = 0);

// Size and lower-case hex SHA-256 of a file; false when it cannot be read.
bool hashPackageFile(const std::string& path, uint64_t& size, std::string& sha256Hex);
// Lower-case hex SHA-256 of bytes in memory; empty when libsodium fails.
std::string sha256Hex(const unsigned char* bytes, size_t size);

// A comma-separated list of base64 public keys (blanks around them ignored,
// empty items skipped). False, naming the bad item in error, when one does not
// decode to 32 bytes; keys then holds only the good ones.
bool parsePublicKeys(const std::string& list, std::vector<SigningPublicKey>& keys,
                     std::string& error);

// Checks a base64 signature over the statement of the code, version and the
// file's size and SHA-256 under each key. On Verified, keyIndex is the key that
// verified; statement receives the text checked (empty when none was formed).
SignatureVerdict verifyPackageFile(const std::vector<SigningPublicKey>& keys,
                                   const std::string& path, const std::string& packageCode,
                                   const std::string& versionName,
                                   const std::string& signatureBase64, size_t* keyIndex = nullptr,
                                   std::string* statement = nullptr,
                                   int32_t deltaFromVersionValue = 0);

// The same for a statement already built.
SignatureVerdict verifyStatement(const std::vector<SigningPublicKey>& keys,
                                 const std::string& statement, const std::string& signatureBase64,
                                 size_t* keyIndex = nullptr);

// For the publisher tool and tests: a new key pair, and signing a statement
// with a base64 secret key. Empty results on failure.
bool makeSigningKeyPair(std::string& publicKeyBase64, std::string& secretKeyBase64);
std::string signStatement(const std::string& secretKeyBase64, const std::string& statement);
// The public half of a base64 secret key, in base64; empty when malformed.
std::string publicKeyOfSecret(const std::string& secretKeyBase64);

// Standard padded base64, strict on decoding (no blanks, canonical padding).
std::string toBase64(const unsigned char* bytes, size_t size);
bool fromBase64(const std::string& text, std::vector<unsigned char>& bytes);

}  // namespace Orvalen
