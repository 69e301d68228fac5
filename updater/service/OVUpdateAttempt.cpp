#include "service/OVUpdateAttempt.h"

#include <cstdlib>
#include <memory>

#include "logging/OVLogger.h"
#include "service/OVUpdateServicePrivate.h"
#include "service/OVUpdateSettings.h"
#include "service/OVUpdateValues.h"

namespace {

// The private of checkUpdateAndDownload. Never freed itself, so that an
// update thread still starting while the process ends finds it closed
// rather than destroyed.
struct SharedPrivate {
    // Recursive: exit() called from a slot directly connected on the update
    // thread runs the teardown on that thread.
    std::recursive_mutex mutex;
    std::unique_ptr<OVUpdateServicePrivate> priv;
    bool closed = false;
};

SharedPrivate& shared() {
    static SharedPrivate* const holder = [] {
        auto* created = new SharedPrivate();
        std::atexit([] {
            SharedPrivate& s = shared();
            std::lock_guard<std::recursive_mutex> lock(s.mutex);
            s.closed = true;
            s.priv.reset();
        });
        return created;
    }();
    return *holder;
}

}  // namespace

std::unique_lock<std::recursive_mutex> lockUpdateAttempts() {
    return std::unique_lock<std::recursive_mutex>(shared().mutex);
}

void runUpdateAttempt(OVUpdateObserver& observer, const OVUpdateSettings& settings,
                      QString softCode, QString version, QString packageCopyFolder) {
    OVLOG_DEBUG() << "【更新服务】checkUpdateAndDownload invoke";
    const int32_t value = versionValue(version);
    SharedPrivate& s = shared();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (s.closed) return;
    if (!s.priv) {
        s.priv = std::make_unique<OVUpdateServicePrivate>(
            observer, " ", " ", softCode.toStdString(), value, version.toStdString(),
            settings.host().toStdString(), localPath(settings.storeDir()), tlsSettings(settings),
            reservedFileNames(settings), packageCopyFolder);
    }
    OVUpdateServicePrivate& priv = *s.priv;
    OVLOG_DEBUG() << "【更新服务】checkUpdateAndDownload init, version value="
                  << priv.versionValue() << ", hostname=" << priv.host().c_str()
                  << ",softcode=" << priv.packageCode().c_str();
    if (priv.init()) {
        OVLOG_DEBUG() << "【更新服务】checkUpdateAndDownload init success";
        priv.start();
    } else {
        priv.onDownloadFinish(kAttemptNotStarted, std::string());
        OVLOG_DEBUG() << "【更新服务】checkUpdateAndDownload init failed";
    }
}
