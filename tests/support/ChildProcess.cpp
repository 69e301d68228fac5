#include "ChildProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace testsupport {

namespace {

pid_t spawn(const std::vector<std::string>& argv, int outputFd) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(outputFd, STDOUT_FILENO);
    execvp(args[0], args.data());
    _exit(127);
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return;
    mPid = spawn(argv, pipeFds[1]);
    close(pipeFds[1]);
    mOutput = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    stop();
    if (mOutput >= 0) close(mOutput);
}

std::string ChildProcess::readLine(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t end = mPending.find('\n');
        if (end != std::string::npos) {
            std::string line = mPending.substr(0, end);
            mPending.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{mOutput, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return {};
        char buffer[4096];
        const ssize_t got = read(mOutput, buffer, sizeof buffer);
        if (got <= 0) {
            mOutputEnded = true;
            return {};
        }
        mPending.append(buffer, static_cast<size_t>(got));
    }
}

bool ChildProcess::alive() {
    if (mPid <= 0) return false;
    if (waitpid(mPid, nullptr, WNOHANG) != mPid) return true;
    mPid = -1;
    return false;
}

int ChildProcess::wait() {
    if (mPid <= 0) return -1;
    int status = 0;
    const pid_t done = waitpid(mPid, &status, 0);
    mPid = -1;
    return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::stop() {
    if (mPid <= 0) return;
    kill(mPid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(mPid, nullptr, WNOHANG) == mPid) {
            mPid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(mPid, SIGKILL);
    waitpid(mPid, nullptr, 0);
    mPid = -1;
}

bool runQuietly(const std::vector<std::string>& argv) {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = spawn(argv, null);
    close(null);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool waitForPort(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(port);
        const bool open = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (open) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvalen-test-XXXXXX";
    if (mkdtemp(&pattern[0])) mPath = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!mPath.empty()) std::filesystem::remove_all(mPath, ignored);
}

}  // namespace testsupport
