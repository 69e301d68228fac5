#pragma once

// Real servers for the backend client's tests: the reference update backend
// (tools/update-backend) and nginx, each on a free port of 127.0.0.1.

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace testsupport {

struct HttpAnswer {
    long status = 0;  // 0: no answer
    std::string body;
};

// One request with libcurl; a POST when body is given.
HttpAnswer httpRequest(const std::string& url, const std::string& caFile,
                       const std::string* body = nullptr);

// A self-signed certificate for 127.0.0.1 and localhost, made with openssl.
bool makeCertificate(const std::string& certFile, const std::string& keyFile);

struct SeenRequest {
    double time = 0;  // seconds, monotonic
    std::string method;
    std::string path;
    std::string range;  // the Range header, empty when none
    std::string body;
    std::vector<std::string> headers;  // raw header lines
    int status = 0;
};

// The reference backend: HTTPS with a certificate made at its start, its
// package folder in a temporary folder.
class ReferenceBackend {
public:
    explicit ReferenceBackend(const std::vector<std::string>& extraArguments = {});

    bool running() const { return !mUrl.empty(); }
    const std::string& url() const { return mUrl; }
    const std::string& caFile() const { return mCaFile; }
    const std::string& certFile() const { return mCaFile; }
    const std::string& keyFile() const { return mKeyFile; }
    const std::string& signKey() const { return mSignKey; }
    std::string packagePath(const std::string& name) const { return mPackages + "/" + name; }
    std::string packageUrl(const std::string& name) const { return mUrl + "/packages/" + name; }

    void writePackage(const std::string& name, const std::string& bytes) const;
    void writeManifest(const std::string& json) const;
    // Replaces the switched faults (a JSON object, see the server's README).
    bool setFaults(const std::string& json) const;
    // Clears the faults and the requests seen.
    bool reset() const;
    std::vector<SeenRequest> seen() const;

private:
    TempDir mDir;
    std::string mPackages;
    std::unique_ptr<ChildProcess> mProcess;
    std::string mUrl;
    std::string mCaFile;
    std::string mKeyFile;
    std::string mSignKey;
};

// nginx serving a folder over HTTP, and over HTTPS when a certificate is
// given; its configuration, logs and temporary files in a temporary folder.
class NginxServer {
public:
    NginxServer(const std::string& root, const std::string& certFile = std::string(),
                const std::string& keyFile = std::string());

    bool running() const { return mHttpPort > 0; }
    std::string httpUrl() const { return "http://127.0.0.1:" + std::to_string(mHttpPort); }
    std::string httpsUrl() const { return "https://127.0.0.1:" + std::to_string(mHttpsPort); }
    // One line per request: status, the Range header in quotes, body bytes.
    std::string accessLog() const;

private:
    bool start(const std::string& root, const std::string& certFile, const std::string& keyFile);

    TempDir mDir;
    std::unique_ptr<ChildProcess> mProcess;
    int mHttpPort = -1;
    int mHttpsPort = -1;
};

// A whole file's bytes; empty when it cannot be read.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// Bytes that do not repeat within the file, so a misplaced range shows.
std::string patternBytes(size_t size, unsigned seed = 1);

}  // namespace testsupport
