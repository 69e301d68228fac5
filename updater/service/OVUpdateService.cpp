#include "service/OVUpdateService.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <system_error>
#include <thread>

#include "install/OVArchiverArguments.h"
#include "install/OVInstallSteps.h"
#include "logging/OVLogger.h"
#include "service/OVUpdateAttempt.h"
#include "service/OVUpdateEndpoints.h"
#include "service/OVUpdateServicePrivate.h"
#include "service/OVUpdateValues.h"

OVUpdateService* OVUpdateService::instance() {
    static std::atomic<OVUpdateService*> service{nullptr};
    static std::mutex creation;
    OVUpdateService* existing = service.load(std::memory_order_acquire);
    if (existing) return existing;
    std::lock_guard<std::mutex> lock(creation);
    existing = service.load(std::memory_order_relaxed);
    if (!existing) {
        existing = new OVUpdateService();
        service.store(existing, std::memory_order_release);
    }
    return existing;
}

OVUpdateService::OVUpdateService()
    : OVUpdateSettings(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)) {
    qRegisterMetaType<stDevInfo>("stDevInfo");
    // Created on whichever thread asked first; it belongs to the GUI thread,
    // where it outlives every worker.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (thread() != app->thread()) moveToThread(app->thread());
    }
    fillHostIfEmpty(OVUpdateEndpoints::production());
}

void OVUpdateService::checkUpdateAndDownload(const QString& softCode, const QString& version) {
    try {
        std::thread([this, softCode, version, folder = packageCopyFolder()] {
            runUpdateAttempt(*this, *this, softCode, version, folder);
        }).detach();
    } catch (const std::system_error& error) {
        OVLOG_DEBUG() << "【更新服务】checkUpdateAndDownload no thread:" << error.what();
        setResult(kAttemptNotStarted);
        setFileName(QString());
        emit sigDownloadFinishBack(kAttemptNotStarted, QString());
    }
}

int32_t OVUpdateService::checkUpdate(unsigned int snMode, const QString& deviceSN,
                                     const QString& packageCode, const QString& version,
                                     QString& remoteVersion) {
    OVLOG_DEBUG() << "【更新服务】check update invoke， snMode=" << snMode
                  << ",deviceSN=" << deviceSN << ",version=" << version;
    const int32_t value = versionValue(version);
    const QString host = OVUpdateEndpoints::forSnMode(snMode);
    // Its private tears the library singletons down on return; no attempt
    // may be using them meanwhile.
    const auto attempts = lockUpdateAttempts();
    OVUpdateServicePrivate check(*this, "7K_QM_RTc4", deviceSN.toStdString(),
                                 packageCode.toStdString(), value, version.toStdString(),
                                 host.toStdString(), localPath(storeDir()), tlsSettings(*this));
    OVLOG_DEBUG() << "【更新服务】check update init, request host=" << host;
    if (check.init()) {
        OVLOG_DEBUG() << "【更新服务】check update init success, start check update";
        const int32_t checked = check.queryUpgrade(remoteVersion);
        std::lock_guard<std::mutex> lock(mStateMutex);
        mResult = checked;
    } else {
        OVLOG_DEBUG() << "【更新服务】check update init failed, return";
    }
    return result();
}

QString OVUpdateService::packageCopyFolder() const {
    std::lock_guard<std::mutex> lock(mStateMutex);
    if (!mPackageCopyFolder.isEmpty()) return mPackageCopyFolder;
    return OVInstallSteps::packageCopyFolder(
        OVArchiverArguments::installationFolderFor(QCoreApplication::applicationDirPath()));
}

void OVUpdateService::setPackageCopyFolder(const QString& folder) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mPackageCopyFolder = folder;
}

int32_t OVUpdateService::result() const {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mResult;
}

void OVUpdateService::setResult(int32_t value) {
    OVLOG_DEBUG() << "【更新服务】setResult val=" << value;
    std::lock_guard<std::mutex> lock(mStateMutex);
    mResult = value;
}

QString OVUpdateService::fileName() const {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mFileName;
}

void OVUpdateService::setFileName(const QString& name) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mFileName = name;
}

bool OVUpdateService::deltaStaged() const {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mDeltaStaged;
}

void OVUpdateService::setDeltaStaged(bool staged) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mDeltaStaged = staged;
}

QString OVUpdateService::remoteVersion() const {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mRemoteVersion;
}

void OVUpdateService::setRemoteVersion(const QString& version) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mRemoteVersion = version;
}

QString OVUpdateService::releaseNotes() const {
    std::lock_guard<std::mutex> lock(mStateMutex);
    return mReleaseNotes;
}

void OVUpdateService::setReleaseNotes(const QString& notes) {
    std::lock_guard<std::mutex> lock(mStateMutex);
    mReleaseNotes = notes;
}

QString OVUpdateService::offeredVersion() const { return remoteVer(); }

void OVUpdateService::downloadProgress(int progress) { emit sigDownloadProgressBack(progress); }

void OVUpdateService::downloadFinished(int code, const QString& fileName) {
    emit sigDownloadFinishBack(code, fileName);
}
