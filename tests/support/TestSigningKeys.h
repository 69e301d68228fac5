#pragma once

// Ed25519 key pairs for tests only, made by libsodium from fixed seeds (bytes
// 0..31, 32..63, 64..95), and a known-answer vector. Keys A and B are the ones
// built into the test-only updater (TEST_SIGNING_PUBLIC_KEYS in
// tests/CMakeLists.txt); C is built in nowhere.

namespace testkeys {

constexpr char kPublicA[] = "A6EHv/POEL4dcN0Y50vAmWfk1jCbpQ1fHdyGZBJVMbg=";
constexpr char kSecretA[] =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8DoQe/884Qvh1w3RjnS8CZZ+TWMJulDV8d3IZkElUxuA==";
constexpr char kPublicB[] = "Kay64UG8yvCyLhqU000LxzYeUm0L/hLIl5S8kyKWbdc=";
constexpr char kSecretB[] =
    "ICEiIyQlJicoKSorLC0uLzAxMjM0NTY3ODk6Ozw9Pj8prLrhQbzK8LIuGpTTTQvHNh5SbQv+EsiXlLyTIpZt1w==";
constexpr char kPublicC[] = "JUO5L/EJVRFHatyDadtt3JM2ZaEZeN2hQE7hBmypVZ0=";
constexpr char kSecretC[] =
    "QEFCQ0RFRkdISUpLTE1OT1BRUlNUVVZXWFlaW1xdXl8lQ7kv8QlVEUdq3INp223ckzZloRl43aFATuEGbKlVnQ==";

// Known answer: this package offered as LUMI_DESK 2.0.1, signed with key A.
// The signature was also checked with OpenSSL (openssl pkeyutl -sign -rawin).
constexpr char kKnownPackage[] = "Peza Studio 2.0.1 package\n";
constexpr char kKnownStatement[] =
    "LUMI_DESK\n"
    "2.0.1\n"
    "26\n"
    "61ee156c8c608ca977d8a804baeb434caac1d74d62d003f0b5a3fbe96cf09cc5\n";
constexpr char kKnownSignature[] =
    "yhbRa9ZFhBPv8hLal8cULaosk4mx2VeKOSCsigqHgx8TXiHGiHpw+NTQxV/TP9jcbTfRaDPhGso+soaDk4K/AQ==";

}  // namespace testkeys
