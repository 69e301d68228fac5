#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testsupport {

// A program started for a test, with its standard output on a pipe. It is
// ended (SIGTERM, then SIGKILL) when the object goes, and also when the test
// process dies first.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return mPid > 0; }
    // False once the child has ended.
    bool alive();
    // One line of the child's output without its newline; empty when none
    // came within the time.
    std::string readLine(int timeoutMs);
    // True once the child's output has ended and every line was read.
    bool outputEnded() const { return mOutputEnded && mPending.empty(); }
    // Waits for the child to end; its exit status, or -1.
    int wait();
    void stop();

private:
    pid_t mPid = -1;
    int mOutput = -1;
    std::string mPending;
    bool mOutputEnded = false;
};

// Runs a program to its end with its output discarded; true on status 0.
bool runQuietly(const std::vector<std::string>& argv);

// A port on 127.0.0.1 that was free a moment ago.
int freePort();

// True once something accepts connections on 127.0.0.1:port.
bool waitForPort(int port, int timeoutMs);

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return mPath; }
    std::string file(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

}  // namespace testsupport
