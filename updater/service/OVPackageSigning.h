#pragma once

// Signed packages in the update service: with a public key built in, only a
// package whose signature verifies (OrvalenPackageSignature.h) is handed to
// the installation, and nothing falls back to plain HTTP. Without a key the
// service works as the Part says, and says so in the log.

#include <cstdint>
#include <string>

// The keys built into the program: main() hands over the CMake cache variable
// UPDATE_SIGNING_PUBLIC_KEYS (comma-separated base64 Ed25519 public keys).
// Nothing the user can write (update.ini) reaches this.
void setBuiltInSigningKeys(const std::string& commaSeparatedKeys);

// At the start of an attempt, before any request: logs that packages are not
// signature-checked when no key is built in. With a key, a host that is not
// https is refused (logged): false.
bool hostAllowedForSigning(const std::string& host);

// A package address that is not https while the host is https is refused
// (logged) unless insecureTls is set.
bool packageAddressAllowed(const std::string& host, const std::string& url, bool insecureTls);

// After a download whose checked copy passed its MD5 check. With a key
// built in, the signature must verify over the statement of the requested
// package code, the offered version and the copy's size and SHA-256;
// otherwise the reason is logged, the downloaded file (localPath) deleted and
// the result is false. Always true without a key. A delta package
// (deltaFromVersionValue > 0) is checked over the delta's statement.
bool acceptSignedPackage(const std::string& localPath, uint64_t size, const std::string& sha256Hex,
                         const std::string& packageCode, const std::string& versionName,
                         const std::string& signature, int32_t deltaFromVersionValue = 0);
