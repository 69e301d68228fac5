#pragma once

// One whole attempt of OVUpdateService::checkUpdateAndDownload in the test
// process, from the call to its finish signal, with the signals received on
// the calling (GUI) thread.

#include <QString>
#include <vector>

namespace updatertest {

struct AttemptOutcome {
    bool finished = false;
    int code = -1;
    QString fileName;
    std::vector<int> progress;
    int finishCount = 0;
};

// Waits up to 90 s for the finish signal, then 200 ms more for anything
// that must not come.
AttemptOutcome runAttempt(const QString& softCode = "LUMI_DESK", const QString& version = "1.2.0");

}  // namespace updatertest
