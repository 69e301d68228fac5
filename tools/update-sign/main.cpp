// update-sign: the vendor's side of signed packages. Makes a key pair, signs a
// release package and checks a signature exactly as the updater does
// (OrvalenPackageSignature.h). See kHelp for the commands and formats.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"

namespace {

const char kHelp[] =
    R"(update-sign: signs update packages for the updater and checks their signatures.

  update-sign keygen OUT_DIR
      Makes an Ed25519 key pair: OUT_DIR/secret.key (mode 0600) and
      OUT_DIR/public.key; existing files are not overwritten. Prints the public
      key in the form the updater's build takes:
        -DUPDATE_SIGNING_PUBLIC_KEYS=<public key>
  update-sign sign --key SECRET_FILE --package FILE --code CODE --version NAME
                   [--delta-from VALUE]
      Prints the signature of FILE offered as version NAME of package CODE.
      Put it beside the package as FILE.sig for the reference backend, or
      serve it as packageSignature in the download-address answer. With
      --delta-from, FILE is a delta package (update-delta make) for the
      installation whose version value is VALUE (its fromVersionValue).
  update-sign verify --public-key KEYS --package FILE --code CODE
                     --version NAME --signature SIGNATURE [--delta-from VALUE]
      Runs the updater's check. KEYS is one base64 public key or a
      comma-separated list, as in UPDATE_SIGNING_PUBLIC_KEYS. Exit status 0
      when the signature verifies under one of them, 1 when it does not.

What is signed (the statement): four lines, each followed by a line feed:
  CODE        the package code the updater asks for (its request's packageCode)
  NAME        the versionName of the download-address answer
  SIZE        the package's size in bytes, in decimal
  SHA256      the package's SHA-256 in lower-case hex
and for a delta package a fifth:
  delta VALUE the version value of the installation the delta patches
CODE and NAME must not be empty or hold a line break; VALUE is a positive
decimal integer. A signed delta never passes as a full package or as the
delta for another version, nor a full package as a delta.

Formats (libsodium's raw keys, standard base64 with padding, one line):
  secret.key  base64 of the 64-byte Ed25519 secret key (the 32-byte seed, then
              the 32-byte public key): 88 characters. Keep it off the update
              server.
  public.key  base64 of the 32-byte Ed25519 public key: 44 characters.
  signature   base64 of the 64-byte detached Ed25519 signature: 88 characters.
Blanks and line breaks around a key in a file are ignored.

Exit status: 0 done (verify: verified), 1 verify: refused, 2 bad arguments,
unreadable or unwritable files.
)";

constexpr int kBadUse = 2;

int badUse(const std::string& message) {
    std::fprintf(stderr, "update-sign: %s\n(update-sign --help shows the commands)\n",
                 message.c_str());
    return kBadUse;
}

// --name value pairs; false for anything else or a name without its value.
bool readOptions(int argc, char** argv, int first, std::map<std::string, std::string>& options,
                 std::string& error) {
    for (int i = first; i < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0) {
            error = "unexpected argument '" + name + "'";
            return false;
        }
        if (i + 1 >= argc) {
            error = "option " + name + " needs a value";
            return false;
        }
        options[name.substr(2)] = argv[i + 1];
    }
    return true;
}

// The named options, all required, and --delta-from; no others.
bool takeOptions(const std::map<std::string, std::string>& options,
                 const std::vector<std::string>& names, std::string& error) {
    for (const auto& option : options) {
        bool known = option.first == "delta-from";
        for (const std::string& name : names) known = known || option.first == name;
        if (!known) {
            error = "unknown option --" + option.first;
            return false;
        }
    }
    for (const std::string& name : names) {
        if (options.count(name) == 0) {
            error = "missing --" + name;
            return false;
        }
    }
    return true;
}

// The --delta-from value: 0 when absent; false for anything but a
// positive 32-bit decimal integer.
bool deltaFrom(const std::map<std::string, std::string>& options, int32_t& value,
               std::string& error) {
    value = 0;
    const auto given = options.find("delta-from");
    if (given == options.end()) return true;
    const std::string& text = given->second;
    const bool digits = !text.empty() && text.size() <= 10 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const long long parsed = digits ? std::stoll(text) : 0;
    if (parsed <= 0 || parsed > INT32_MAX) {
        error = "--delta-from must be a positive version value, not '" + text + "'";
        return false;
    }
    value = int32_t(parsed);
    return true;
}

std::string escapedStatement(const std::string& statement) {
    std::string shown;
    for (char c : statement) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    return shown;
}

int keygen(int argc, char** argv) {
    if (argc != 3) return badUse("keygen takes one argument, the output folder");
    const std::string dir = argv[2];
    ::mkdir(dir.c_str(), 0700);
    struct stat info {};
    if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return badUse("cannot create the folder " + dir);
    }
    std::string publicKey;
    std::string secretKey;
    if (!Orvalen::makeSigningKeyPair(publicKey, secretKey)) return badUse("libsodium failed");

    const std::string secretPath = dir + "/secret.key";
    const std::string publicPath = dir + "/public.key";
    if (::access(publicPath.c_str(), F_OK) == 0) {
        return badUse(publicPath + " exists; not overwritten");
    }
    // Created 0600 and never readable by others, whatever the umask.
    const int fd = ::open(secretPath.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return badUse("cannot create " + secretPath +
                      (errno == EEXIST ? " (it exists; not overwritten)" : ""));
    }
    const std::string secretLine = secretKey + "\n";
    const bool secretWritten = ::fchmod(fd, 0600) == 0 &&
                               ::write(fd, secretLine.data(), secretLine.size()) ==
                                   static_cast<ssize_t>(secretLine.size()) &&
                               ::fsync(fd) == 0;
    ::close(fd);
    if (!secretWritten) return badUse("cannot write " + secretPath);

    std::ofstream publicFile(publicPath, std::ios::binary | std::ios::trunc);
    publicFile << publicKey << "\n";
    publicFile.close();
    if (!publicFile) return badUse("cannot write " + publicPath);

    std::fprintf(stderr, "update-sign: wrote %s (keep it secret, off the update server) and %s\n",
                 secretPath.c_str(), publicPath.c_str());
    std::printf("-DUPDATE_SIGNING_PUBLIC_KEYS=%s\n", publicKey.c_str());
    return 0;
}

bool readWholeFile(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

int sign(int argc, char** argv) {
    std::map<std::string, std::string> options;
    std::string error;
    int32_t delta = 0;
    if (!readOptions(argc, argv, 2, options, error) ||
        !takeOptions(options, {"key", "package", "code", "version"}, error) ||
        !deltaFrom(options, delta, error)) {
        return badUse(error);
    }
    std::string secretKey;
    if (!readWholeFile(options["key"], secretKey)) {
        return badUse("cannot read the secret key file " + options["key"]);
    }
    if (Orvalen::publicKeyOfSecret(secretKey).empty()) {
        return badUse(options["key"] + " is not a secret key written by update-sign keygen");
    }
    uint64_t size = 0;
    std::string sha256;
    if (!Orvalen::hashPackageFile(options["package"], size, sha256)) {
        return badUse("cannot read the package " + options["package"]);
    }
    const std::string statement =
        Orvalen::packageStatement(options["code"], options["version"], size, sha256, delta);
    if (statement.empty()) return badUse("the code and the version must be non-empty single lines");
    const std::string signature = Orvalen::signStatement(secretKey, statement);
    if (signature.empty()) return badUse("signing failed");
    std::fprintf(stderr, "update-sign: statement %s\n", escapedStatement(statement).c_str());
    std::printf("%s\n", signature.c_str());
    return 0;
}

int verify(int argc, char** argv) {
    std::map<std::string, std::string> options;
    std::string error;
    int32_t delta = 0;
    if (!readOptions(argc, argv, 2, options, error) ||
        !takeOptions(options, {"public-key", "package", "code", "version", "signature"}, error) ||
        !deltaFrom(options, delta, error)) {
        return badUse(error);
    }
    std::vector<Orvalen::SigningPublicKey> keys;
    if (!Orvalen::parsePublicKeys(options["public-key"], keys, error)) return badUse(error);
    if (keys.empty()) return badUse("no public key given");
    uint64_t size = 0;
    std::string sha256;
    if (!Orvalen::hashPackageFile(options["package"], size, sha256)) {
        return badUse("cannot read the package " + options["package"]);
    }
    size_t keyIndex = 0;
    std::string statement;
    const Orvalen::SignatureVerdict verdict =
        Orvalen::verifyPackageFile(keys, options["package"], options["code"], options["version"],
                                   options["signature"], &keyIndex, &statement, delta);
    std::fprintf(stderr, "update-sign: statement %s\n", escapedStatement(statement).c_str());
    if (verdict == Orvalen::SignatureVerdict::Verified) {
        std::printf("verified with key %zu of %zu\n", keyIndex + 1, keys.size());
        return 0;
    }
    std::printf("refused: %s\n", Orvalen::signatureVerdictText(verdict));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (command == "keygen") return keygen(argc, argv);
    if (command == "sign") return sign(argc, argv);
    if (command == "verify") return verify(argc, argv);
    return badUse(command.empty() ? "no command given" : "unknown command '" + command + "'");
}
