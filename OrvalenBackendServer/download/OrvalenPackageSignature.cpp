#include "OrvalenBackendServer/OrvalenPackageSignature.h"

#include <sodium.h>

#include <cstdio>
#include <memory>

namespace Orvalen {

namespace {

bool sodiumReady() {
    // Safe to call from several threads and more than once.
    return sodium_init() >= 0;
}

bool holdsLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A base64 secret key whose second half is the public key of its seed, as
// libsodium writes it; a key with a foreign public half would sign wrongly.
bool secretKeyBytes(const std::string& secretKeyBase64, std::vector<unsigned char>& secretKey) {
    if (!fromBase64(trimmed(secretKeyBase64), secretKey) ||
        secretKey.size() != crypto_sign_SECRETKEYBYTES) {
        return false;
    }
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char derived[crypto_sign_SECRETKEYBYTES];
    crypto_sign_seed_keypair(publicKey, derived, secretKey.data());
    sodium_memzero(derived, sizeof derived);
    return sodium_memcmp(publicKey, secretKey.data() + crypto_sign_SEEDBYTES,
                         crypto_sign_PUBLICKEYBYTES) == 0;
}

}  // namespace

const char* signatureVerdictText(SignatureVerdict verdict) {
    switch (verdict) {
        case SignatureVerdict::Verified:
            return "verified";
        case SignatureVerdict::Missing:
            return "missing";
        case SignatureVerdict::Malformed:
            return "malformed";
        case SignatureVerdict::DoesNotVerify:
            return "does not verify";
        case SignatureVerdict::StatementMismatch:
            return "statement mismatch";
    }
    return "does not verify";
}

std::string toBase64(const unsigned char* bytes, size_t size) {
    std::string text(sodium_base64_encoded_len(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(&text[0], text.size(), bytes, size, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1);  // the terminating zero
    return text;
}

bool fromBase64(const std::string& text, std::vector<unsigned char>& bytes) {
    if (!sodiumReady()) return false;
    bytes.assign(text.size() / 4 * 3 + 3, 0);
    size_t length = 0;
    // No end pointer: the whole text must decode.
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0) {
        bytes.clear();
        return false;
    }
    bytes.resize(length);
    return true;
}

std::string packageStatement(const std::string& packageCode, const std::string& versionName,
                             uint64_t size, const std::string& sha256Hex,
                             int32_t deltaFromVersionValue) {
    if (packageCode.empty() || versionName.empty() || holdsLineBreak(packageCode) ||
        holdsLineBreak(versionName)) {
        return std::string();
    }
    const std::string delta = deltaFromVersionValue > 0
                                  ? "delta " + std::to_string(deltaFromVersionValue) + "\n"
                                  : std::string();
    return packageCode + "\n" + versionName + "\n" + std::to_string(size) + "\n" + sha256Hex +
           "\n" + delta;
}

namespace {

std::string finalHex(crypto_hash_sha256_state& state) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    char hex[crypto_hash_sha256_BYTES * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

}  // namespace

bool hashPackageFile(const std::string& path, uint64_t& size, std::string& sha256Hex) {
    if (!sodiumReady()) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<unsigned char> block(1 << 16);
    size = 0;
    size_t got = 0;
    while ((got = std::fread(block.data(), 1, block.size(), file.get())) > 0) {
        crypto_hash_sha256_update(&state, block.data(), got);
        size += got;
    }
    if (std::ferror(file.get())) return false;
    sha256Hex = finalHex(state);
    return true;
}

std::string sha256Hex(const unsigned char* bytes, size_t size) {
    if (!sodiumReady()) return std::string();
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    crypto_hash_sha256_update(&state, bytes, size);
    return finalHex(state);
}

bool parsePublicKeys(const std::string& list, std::vector<SigningPublicKey>& keys,
                     std::string& error) {
    keys.clear();
    error.clear();
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string item = trimmed(list.substr(start, end - start));
        start = end + 1;
        if (item.empty()) continue;
        SigningPublicKey key;
        if (!fromBase64(item, key) || key.size() != crypto_sign_PUBLICKEYBYTES) {
            if (error.empty()) error = "not a base64 Ed25519 public key: " + item;
            continue;
        }
        keys.push_back(std::move(key));
    }
    return error.empty();
}

SignatureVerdict verifyStatement(const std::vector<SigningPublicKey>& keys,
                                 const std::string& statement, const std::string& signatureBase64,
                                 size_t* keyIndex) {
    if (signatureBase64.empty()) return SignatureVerdict::Missing;
    std::vector<unsigned char> signature;
    if (!fromBase64(signatureBase64, signature) || signature.size() != crypto_sign_BYTES) {
        return SignatureVerdict::Malformed;
    }
    if (statement.empty()) return SignatureVerdict::StatementMismatch;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].size() != crypto_sign_PUBLICKEYBYTES) continue;
        if (crypto_sign_verify_detached(signature.data(),
                                        reinterpret_cast<const unsigned char*>(statement.data()),
                                        statement.size(), keys[i].data()) == 0) {
            if (keyIndex) *keyIndex = i;
            return SignatureVerdict::Verified;
        }
    }
    return SignatureVerdict::DoesNotVerify;
}

SignatureVerdict verifyPackageFile(const std::vector<SigningPublicKey>& keys,
                                   const std::string& path, const std::string& packageCode,
                                   const std::string& versionName,
                                   const std::string& signatureBase64, size_t* keyIndex,
                                   std::string* statement, int32_t deltaFromVersionValue) {
    if (statement) statement->clear();
    uint64_t size = 0;
    std::string sha256;
    // An unreadable package cannot be vouched for.
    if (!hashPackageFile(path, size, sha256)) {
        const SignatureVerdict verdict = verifyStatement(keys, std::string(), signatureBase64);
        return verdict == SignatureVerdict::StatementMismatch ? SignatureVerdict::DoesNotVerify
                                                              : verdict;
    }
    const std::string text =
        packageStatement(packageCode, versionName, size, sha256, deltaFromVersionValue);
    if (statement) *statement = text;
    return verifyStatement(keys, text, signatureBase64, keyIndex);
}

bool makeSigningKeyPair(std::string& publicKeyBase64, std::string& secretKeyBase64) {
    if (!sodiumReady()) return false;
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    if (crypto_sign_keypair(publicKey, secretKey) != 0) return false;
    publicKeyBase64 = toBase64(publicKey, sizeof publicKey);
    secretKeyBase64 = toBase64(secretKey, sizeof secretKey);
    sodium_memzero(secretKey, sizeof secretKey);
    return true;
}

std::string signStatement(const std::string& secretKeyBase64, const std::string& statement) {
    std::vector<unsigned char> secretKey;
    if (statement.empty() || !secretKeyBytes(secretKeyBase64, secretKey)) return std::string();
    unsigned char signature[crypto_sign_BYTES];
    const int mSigned = crypto_sign_detached(
        signature, nullptr, reinterpret_cast<const unsigned char*>(statement.data()),
        statement.size(), secretKey.data());
    sodium_memzero(secretKey.data(), secretKey.size());
    return mSigned == 0 ? toBase64(signature, sizeof signature) : std::string();
}

std::string publicKeyOfSecret(const std::string& secretKeyBase64) {
    std::vector<unsigned char> secretKey;
    if (!secretKeyBytes(secretKeyBase64, secretKey)) return std::string();
    const std::string publicKey =
        toBase64(secretKey.data() + crypto_sign_SEEDBYTES, crypto_sign_PUBLICKEYBYTES);
    sodium_memzero(secretKey.data(), secretKey.size());
    return publicKey;
}

}  // namespace Orvalen
