// A package downloaded through DownloadTask against curl on the same URL,
// from nginx over loopback, plain HTTP and HTTPS; medians of several runs.
//   download_bench [MiB] [runs]   (default 256 MiB, 3 runs; files under $TMPDIR or /tmp)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenDownloadManager.h"
#include "Recorders.h"
#include "TestServers.h"
#include "common/OrvalenMd5.h"

using namespace Orvalen;

namespace {

// The library's log lines would cost time and drown the results.
class SilentLog : public IOrvalenDebugLog {
public:
    void printLog(int, const char*, ...) override {}
};

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Case {
    std::string name;
    std::string url;
    bool verifyMd5;
    bool peerCommits;  // curl's file is committed to disk afterwards, as ours is
};

// Seconds for our task; negative when it did not finish as expected.
double ours(OrvalenDownloadManager& manager, const Case& c, const std::string& dir,
            const std::string& caFile, const std::string& md5, int64_t size) {
    std::remove((dir + "/package.bin").c_str());
    auto parameter = std::make_shared<OrvalenDownloadParameter>();
    parameter->url = c.url;
    parameter->md5 = c.verifyMd5 ? md5 : std::string();
    parameter->fileSize = size;
    testsupport::DownloadRecorder recorder;
    const auto start = std::chrono::steady_clock::now();
    manager.addDownloadTask(parameter, dir, &recorder, false, 8, caFile);
    if (!recorder.waitForFinish(600)) return -1;
    const double took = seconds(std::chrono::steady_clock::now() - start);
    const int32_t expected = c.verifyMd5 ? E_ORVALEN_DOWNLOAD_MD5_OK : E_ORVALEN_DOWNLOAD_NO_MD5;
    return recorder.code() == expected ? took : -1;
}

// Seconds for curl (and md5sum where the case verifies).
double peer(const Case& c, const std::string& dir, const std::string& caFile) {
    const std::string out = dir + "/curl.bin";
    std::remove(out.c_str());
    const auto start = std::chrono::steady_clock::now();
    bool ok = testsupport::runQuietly({"curl", "-sf", "--cacert", caFile, "-o", out, c.url});
    if (ok && c.verifyMd5) ok = testsupport::runQuietly({"md5sum", out});
    if (ok && c.peerCommits) ok = testsupport::runQuietly({"sync", "--data", out});
    const double took = seconds(std::chrono::steady_clock::now() - start);
    return ok ? took : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    testsupport::TempDir served;
    testsupport::TempDir downloads;
    const std::string cert = served.file("cert.pem");
    const std::string key = served.file("key.pem");
    const std::string package = testsupport::patternBytes(mib << 20);
    testsupport::writeFile(served.file("package.bin"), package);
    const std::string md5 = OrvalenMd5().getFromString(package);
    if (!testsupport::makeCertificate(cert, key)) {
        std::fprintf(stderr, "openssl could not make a certificate\n");
        return 1;
    }
    testsupport::NginxServer nginx(served.path(), cert, key);
    if (!nginx.running()) {
        std::fprintf(stderr, "nginx did not start\n");
        return 1;
    }

    SilentLog silent;
    OrvalenDownloadManager::setDebugLog(&silent);
    OrvalenDownloadManager* manager = OrvalenDownloadManager::getInstance();
    const Case cases[] = {
        {"http", nginx.httpUrl() + "/package.bin", false, false},
        {"https", nginx.httpsUrl() + "/package.bin", false, false},
        {"https, MD5 verified (peer: curl + md5sum)", nginx.httpsUrl() + "/package.bin", true,
         false},
        {"https, committed to disk (peer: curl + sync --data)", nginx.httpsUrl() + "/package.bin",
         false, true},
    };
    const double megabytes = static_cast<double>(package.size()) / 1e6;
    int status = 0;
    std::printf("%zu MiB from nginx on 127.0.0.1, median of %d runs\n", mib, runs);
    for (const Case& c : cases) {
        std::vector<double> ourTimes, peerTimes;
        for (int run = 0; run < runs; ++run) {
            ourTimes.push_back(ours(*manager, c, downloads.path(), cert, md5,
                                    static_cast<int64_t>(package.size())));
            peerTimes.push_back(peer(c, downloads.path(), cert));
        }
        const double ourTime = median(ourTimes);
        const double peerTime = median(peerTimes);
        if (ourTime <= 0 || peerTime <= 0) {
            std::printf("%s: failed (ours %.3f s, peer %.3f s)\n", c.name.c_str(), ourTime,
                        peerTime);
            status = 1;
            continue;
        }
        std::printf("%s: ours %.0f MB/s, peer %.0f MB/s, ratio %.2f\n", c.name.c_str(),
                    megabytes / ourTime, megabytes / peerTime, peerTime / ourTime);
        std::fflush(stdout);
    }
    OrvalenDownloadManager::destroyInstance();
    return status;
}
