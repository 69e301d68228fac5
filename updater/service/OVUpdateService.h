#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <cstdint>
#include <mutex>

#include "service/OVUpdateObserver.h"
#include "service/OVUpdateSettings.h"

// A device record of the upgrade signal sigStarUpgrade; nothing in Update
// fills it.
struct stDevInfo {
    QString devId;
    QString devName;
    QString devModel;
    QString devSn;
    QString hardwareVersion;
    QString softwareVersion;
    QString firmwareVersion;
    int32_t devType = 0;
    int32_t upgradeState = 0;
};
Q_DECLARE_METATYPE(stDevInfo)

// The bridge between the windows and the backend client: runs update
// attempts and reports them as signals; also the settings store (update.ini).
// The attempts' worker reports to it as its observer.
// One shared instance, created on first use from any thread, alive until the
// process ends.
class OVUpdateService : public QObject, public OVUpdateSettings, public OVUpdateObserver {
    Q_OBJECT
public:
    static OVUpdateService* instance();

    // Starts a whole attempt (check, then download) on a new detached thread
    // and returns at once. It ends with exactly one sigDownloadFinishBack.
    void checkUpdateAndDownload(const QString& softCode, const QString& version);
    // Where a downloaded package's checked copy is made, the one the
    // installation extracts: by default the package folder of the work
    // folder beside the installation of this program; set before the first
    // attempt.
    QString packageCopyFolder() const;
    void setPackageCopyFolder(const QString& folder);
    // A check without download on the caller's thread, against the test
    // endpoint for snMode 2 and production otherwise. Returns the result
    // (unchanged when the backend could not be reached) and stores the
    // offered version in remoteVersion.
    int32_t checkUpdate(unsigned int snMode, const QString& deviceSN, const QString& packageCode,
                        const QString& version, QString& remoteVersion);

    // The last query result or download finish code; -1 before any.
    int32_t result() const;
    void setResult(int32_t value) override;
    // Name of the downloaded package, in storeDir.
    QString fileName() const;
    void setFileName(const QString& name) override;
    // The download was a delta, already staged beside the installation.
    bool deltaStaged() const;
    void setDeltaStaged(bool staged) override;
    QString remoteVersion() const;
    void setRemoteVersion(const QString& version) override;
    QString releaseNotes() const;
    void setReleaseNotes(const QString& notes) override;

    // Reports of the worker; the signals are emitted on the reporting thread.
    QString offeredVersion() const override;
    void downloadProgress(int progress) override;
    void downloadFinished(int code, const QString& fileName) override;

signals:
    void sigDownloadProgressBack(int progress);
    void sigDownloadFinishBack(int code, QString filename);
    void sigStarUpgrade(QString s_Id, QString verDec, stDevInfo pbuff);

private:
    OVUpdateService();

    // Written on the update and download threads, read on the GUI thread.
    mutable std::mutex mStateMutex;
    int32_t mResult = -1;
    QString mFileName;
    bool mDeltaStaged = false;
    QString mRemoteVersion;
    QString mReleaseNotes;
    QString mPackageCopyFolder;
};
