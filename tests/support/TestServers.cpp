#include "TestServers.h"

#include <curl/curl.h>
#include <rapidjson/document.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace testsupport {

namespace {

size_t appendBody(char* data, size_t size, size_t count, void* userData) {
    static_cast<std::string*>(userData)->append(data, size * count);
    return size * count;
}

std::string stringMember(const rapidjson::Value& object, const char* name) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return {};
    return member->value.GetString();
}

std::string nginxProgram() {
    for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx"}) {
        if (access(candidate, X_OK) == 0) return candidate;
    }
    return "nginx";
}

}  // namespace

HttpAnswer httpRequest(const std::string& url, const std::string& caFile, const std::string* body) {
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    if (!curl) return answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    if (!caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    if (body) {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body->size()));
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    }
    curl_easy_cleanup(curl);
    return answer;
}

bool makeCertificate(const std::string& certFile, const std::string& keyFile) {
    return runQuietly({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                       "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", keyFile, "-out",
                       certFile, "-days", "7", "-subj", "/CN=test server", "-addext",
                       "subjectAltName=IP:127.0.0.1,DNS:localhost"});
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string patternBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t state = 0x9e3779b9u * (seed + 1);
    for (char& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<char>(state >> 24);
    }
    return bytes;
}

ReferenceBackend::ReferenceBackend(const std::vector<std::string>& extraArguments) {
    mPackages = mDir.file("packages");
    mkdir(mPackages.c_str(), 0755);
    std::vector<std::string> argv = {"python3",     UPDATE_BACKEND_SCRIPT, "--port",
                                     "0",           "--packages",          mPackages,
                                     "--state-dir", mDir.file("state")};
    argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
    mProcess = std::make_unique<ChildProcess>(argv);
    const std::string line = mProcess->readLine(30000);
    rapidjson::Document info;
    if (line.empty() || info.Parse(line.c_str()).HasParseError() || !info.IsObject()) return;
    mCaFile = stringMember(info, "ca_file");
    mKeyFile = stringMember(info, "key_file");
    mSignKey = stringMember(info, "sign_key");
    mUrl = stringMember(info, "url");
}

void ReferenceBackend::writePackage(const std::string& name, const std::string& bytes) const {
    writeFile(packagePath(name), bytes);
}

void ReferenceBackend::writeManifest(const std::string& json) const {
    writeFile(packagePath("manifest.json"), json);
}

bool ReferenceBackend::setFaults(const std::string& json) const {
    return httpRequest(mUrl + "/__admin/faults", mCaFile, &json).status == 200;
}

bool ReferenceBackend::reset() const {
    const std::string none;
    return httpRequest(mUrl + "/__admin/reset", mCaFile, &none).status == 200;
}

std::vector<SeenRequest> ReferenceBackend::seen() const {
    std::vector<SeenRequest> requests;
    const HttpAnswer answer = httpRequest(mUrl + "/__admin/seen", mCaFile);
    rapidjson::Document document;
    if (document.Parse(answer.body.c_str()).HasParseError() || !document.IsObject() ||
        !document.HasMember("requests")) {
        return requests;
    }
    for (const auto& item : document["requests"].GetArray()) {
        SeenRequest request;
        request.time = item["time"].GetDouble();
        request.method = stringMember(item, "method");
        request.path = stringMember(item, "path");
        request.range = stringMember(item, "range");
        request.body = stringMember(item, "body");
        request.status = item["status"].GetInt();
        for (const auto& header : item["headers"].GetArray()) {
            request.headers.push_back(header.GetString());
        }
        requests.push_back(request);
    }
    return requests;
}

NginxServer::NginxServer(const std::string& root, const std::string& certFile,
                         const std::string& keyFile) {
    // The ports are free when chosen but may be taken before nginx binds them.
    for (int attempt = 0; attempt < 3 && !start(root, certFile, keyFile); ++attempt) {
    }
}

std::string NginxServer::accessLog() const { return readFile(mDir.file("access.log")); }

bool NginxServer::start(const std::string& root, const std::string& certFile,
                        const std::string& keyFile) {
    mHttpPort = -1;
    const int httpPort = freePort();
    const int httpsPort = freePort();
    const std::string dir = mDir.path();
    std::ostringstream config;
    config << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
           << "pid " << dir << "/nginx.pid;\nerror_log " << dir << "/error.log;\n"
           << "events { worker_connections 64; }\nhttp {\n"
           << "  log_format probe '$status \"$http_range\" $body_bytes_sent';\n"
           << "  access_log " << dir << "/access.log probe;\n"
           << "  default_type application/octet-stream;\n  sendfile on;\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
        config << "  " << temp << "_temp_path " << dir << "/" << temp << ";\n";
    }
    config << "  server { listen 127.0.0.1:" << httpPort << "; root " << root << "; }\n";
    if (!certFile.empty()) {
        config << "  server { listen 127.0.0.1:" << httpsPort << " ssl; root " << root
               << ";\n    ssl_certificate " << certFile << ";\n    ssl_certificate_key " << keyFile
               << ";\n  }\n";
    }
    config << "}\n";
    writeFile(dir + "/nginx.conf", config.str());

    mProcess = std::make_unique<ChildProcess>(std::vector<std::string>{
        nginxProgram(), "-p", dir, "-c", dir + "/nginx.conf", "-e", dir + "/error.log"});
    const bool up = waitForPort(httpPort, 10000) &&
                    (certFile.empty() || waitForPort(httpsPort, 10000)) && mProcess->alive();
    if (!up) {
        mProcess.reset();
        return false;
    }
    mHttpPort = httpPort;
    mHttpsPort = httpsPort;
    return true;
}

}  // namespace testsupport
