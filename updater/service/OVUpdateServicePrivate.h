#pragma once

#include <QString>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenBackendServer.h"
#include "OrvalenBackendServer/OrvalenDownloadManager.h"

class OVUpdateObserver;
class OVUpdateSettings;

// How the backend's and the downloads' certificates are checked: verified
// unless skipping is asked for, against caFile when one is given (else the
// system's store).
struct OVTlsSettings {
    bool skipCertificateCheck = false;
    std::string caFile;
};

// From update/insecureTls (exactly 1 skips the checks) and update/caFile.
OVTlsSettings tlsSettings(const OVUpdateSettings& settings);
// A path as the backend client's 8-bit file functions take it.
std::string localPath(const QString& path);
// The names a package must never take in the settings folder: update.ini,
// the logs folder, the uninstall-registry INI where it lives there, and
// their lock files.
std::vector<std::string> reservedFileNames(const OVUpdateSettings& settings);

// The worker behind OVUpdateService: initialises the backend client, checks
// for an upgrade, queues the download and reports the check and the download
// callbacks to its observer. As the library's log sink it forwards every message
// into the updater log. Destroying it tears the library singletons down,
// which waits for (and ends) a download in progress.
class OVUpdateServicePrivate : public Orvalen::IOrvalenDownloadCallback,
                               public Orvalen::IOrvalenDebugLog {
public:
    OVUpdateServicePrivate(OVUpdateObserver& observer, std::string deviceModel,
                           std::string serialNumber, std::string packageCode, int32_t versionValue,
                           std::string versionText, std::string host, std::string downloadDirectory,
                           OVTlsSettings tls, std::vector<std::string> reservedNames = {},
                           QString packageCopyFolder = QString());
    ~OVUpdateServicePrivate() override;
    OVUpdateServicePrivate(const OVUpdateServicePrivate&) = delete;
    OVUpdateServicePrivate& operator=(const OVUpdateServicePrivate&) = delete;

    // Installs the log sink, creates the singletons and fetches the signing
    // key; false when the backend cannot be reached or refuses.
    bool init();
    // On the thread that ran init: checks for an upgrade and queues its
    // download, or reports the check's result as the finish code.
    void start();
    // Checks without downloading; the offered version goes to remoteVersion.
    int32_t queryUpgrade(QString& remoteVersion);

    void onDownloading(double percent, const std::string& fileName) override;
    void onDownloadSpeed(double bytesPerSecond, const std::string& fileName) override;
    void onDownloadFinish(int32_t code, const std::string& fileName) override;

    void printLog(int level, const char* format, ...) override ORVALEN_PRINTF_FORMAT(3, 4);

    int32_t versionValue() const { return mVersionValue; }
    const std::string& host() const { return mHost; }
    const std::string& packageCode() const { return mPackageCode; }

private:
    // No downgrade: the offered version (versionName, else the command
    // line's) must be an acceptable version name newer than the installed
    // one; an installed version that does not parse refuses every offer. A
    // refusal is logged.
    bool offerIsNewer(const Orvalen::OrvalenOtaReceived& received) const;
    // What one download fetches: the full package, or a delta for the
    // installed version value deltaFrom.
    struct Download {
        std::string url;
        std::string md5;
        std::string signature;
        int64_t size = -1;
        int32_t deltaFrom = 0;
    };
    void queueDownload(const Download& download);
    // Copies a delivered package into the package copy folder and checks the
    // announced MD5 and the signature against the copy's digests: the finish
    // code, 2 (both files deleted) on a mismatch, 7 (the download kept) when
    // no copy could be made.
    int32_t checkCopy(const std::string& fileName);
    // After a delta download: true once its files are staged; otherwise the
    // reason is logged in one line, the delta's files and the staging go and
    // the full package is queued in the same attempt.
    bool stageDeltaOrFallBack(int32_t code, const std::string& fileName);
    void finish(int32_t code, std::string fileName, bool deltaStaged);
    QString packageCopyPath(const std::string& fileName) const;

    OVUpdateObserver& mObserver;
    Orvalen::OrvalenBackendServer* mBackendServer = nullptr;
    Orvalen::OrvalenDownloadManager* mDownloadManager = nullptr;
    std::string mDeviceModel;
    std::string mSerialNumber;
    std::string mPackageCode;
    int32_t mVersionValue = -1;
    std::string mVersionText;
    std::string mHost;
    std::string mDownloadDirectory;
    bool mInitialised = false;
    std::mutex mTeardownMutex;
    OVTlsSettings mTls;
    // The offer being downloaded, for its checks on the pool thread.
    std::string mOfferedVersionName;
    Download mFullPackage;
    Download mDownloading;
    std::vector<std::string> mReservedNames;
    // Where the checked copy of the package is made (OVPackageCopy.h).
    QString mPackageCopyFolder;
};
