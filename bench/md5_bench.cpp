// OrvalenMd5::getFromFile against md5sum on the same file, medians of 5 runs.
//   md5_bench [MiB]   (default 256; the file goes to $TMPDIR or /tmp)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/OrvalenMd5.h"

namespace {

constexpr int kRuns = 5;

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool writeFile(const std::string& path, size_t mib) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::vector<unsigned char> block(1 << 20);
    uint32_t state = 0x9e3779b9;
    bool ok = true;
    for (size_t i = 0; i < mib && ok; ++i) {
        for (unsigned char& b : block) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<unsigned char>(state >> 24);
        }
        ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    }
    return std::fclose(file) == 0 && ok;
}

// The digest's own log lines would drown the results.
std::string oursQuietly(const std::string& path) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    const std::string digest = Orvalen::OrvalenMd5().getFromFile(path);
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(null);
    close(saved);
    return digest;
}

std::string md5sum(const std::string& path) {
    FILE* pipe = popen(("md5sum '" + path + "'").c_str(), "r");
    if (!pipe) return std::string();
    char digest[33] = {0};
    const size_t got = std::fread(digest, 1, 32, pipe);
    return pclose(pipe) == 0 ? std::string(digest, got) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/md5_bench_XXXXXX";
    if (!mkdtemp(&dir[0])) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = dir + "/input.bin";
    int status = 0;
    if (!writeFile(path, mib)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        status = 1;
    } else {
        md5sum(path);  // warm the page cache for both
        std::vector<double> ours, peer;
        for (int run = 0; run < kRuns && status == 0; ++run) {
            auto start = std::chrono::steady_clock::now();
            const std::string a = oursQuietly(path);
            ours.push_back(seconds(std::chrono::steady_clock::now() - start));
            start = std::chrono::steady_clock::now();
            const std::string b = md5sum(path);
            peer.push_back(seconds(std::chrono::steady_clock::now() - start));
            if (a.empty() || a != b) {
                std::fprintf(stderr, "digests differ: ours '%s', md5sum '%s'\n", a.c_str(),
                             b.c_str());
                status = 1;
            }
        }
        if (status == 0) {
            const double megabytes = double(mib) * 1048576.0 / 1e6;
            const double oursRate = megabytes / median(ours);
            const double peerRate = megabytes / median(peer);
            std::printf("md5 of a %zu MiB file: ours %.0f MB/s, peer %.0f MB/s, ratio %.2f\n", mib,
                        oursRate, peerRate, oursRate / peerRate);
        }
    }
    std::remove(path.c_str());
    rmdir(dir.c_str());
    return status;
}
