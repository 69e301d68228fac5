#include "service/OVUpdateServicePrivate.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "install/OVArchiverArguments.h"
#include "install/OVUninstallEntry.h"
#include "logging/OVLogger.h"
#include "service/OVDeltaStaging.h"
#include "service/OVPackageCopy.h"
#include "service/OVPackageSigning.h"
#include "service/OVUpdateObserver.h"
#include "service/OVUpdateSettings.h"
#include "service/OVUpdateValues.h"

using namespace Orvalen;

namespace {

constexpr int32_t kConnectTimeoutSeconds = 8;
// Library messages are cut to this many characters.
constexpr size_t kLogBufferSize = 4096;

std::string joinedPath(const std::string& directory, const std::string& fileName) {
    const QDir dir(QFile::decodeName(QByteArray::fromStdString(directory)));
    return localPath(dir.filePath(QFile::decodeName(QByteArray::fromStdString(fileName))));
}

}  // namespace

OVTlsSettings tlsSettings(const OVUpdateSettings& settings) {
    return OVTlsSettings{settings.insecureTls() == 1, localPath(settings.caFile())};
}

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

std::vector<std::string> reservedFileNames(const OVUpdateSettings& settings) {
    std::vector<std::string> names = {"update.ini", "update.ini.lock", "logs"};
    const QFileInfo registry(OVUninstallEntry::registryFile(settings.storeDir()));
    if (QDir(registry.absolutePath()) == QDir(settings.storeDir())) {
        names.push_back(localPath(registry.fileName()));
        names.push_back(localPath(registry.fileName() + QStringLiteral(".lock")));
    }
    return names;
}

OVUpdateServicePrivate::OVUpdateServicePrivate(OVUpdateObserver& observer, std::string deviceModel,
                                               std::string serialNumber, std::string packageCode,
                                               int32_t versionValue, std::string versionText,
                                               std::string host, std::string downloadDirectory,
                                               OVTlsSettings tls,
                                               std::vector<std::string> reservedNames,
                                               QString packageCopyFolder)
    : mObserver(observer),
      mDeviceModel(std::move(deviceModel)),
      mSerialNumber(std::move(serialNumber)),
      mPackageCode(std::move(packageCode)),
      mVersionValue(versionValue),
      mVersionText(std::move(versionText)),
      mHost(std::move(host)),
      mDownloadDirectory(std::move(downloadDirectory)),
      mTls(std::move(tls)),
      mReservedNames(std::move(reservedNames)),
      mPackageCopyFolder(std::move(packageCopyFolder)) {}

OVUpdateServicePrivate::~OVUpdateServicePrivate() {
    {
        std::lock_guard<std::mutex> lock(mTeardownMutex);
        if (mDownloadManager) {
            OrvalenDownloadManager::destroyInstance();
            mDownloadManager = nullptr;
        }
        if (mBackendServer) {
            OrvalenBackendServer::destroyInstance();
            mBackendServer = nullptr;
        }
    }
    OrvalenBackendServer::releaseDebugLog(this);
    OrvalenDownloadManager::releaseDebugLog(this);
}

bool OVUpdateServicePrivate::init() {
    OrvalenBackendServer::setDebugLog(this);
    OrvalenDownloadManager::setDebugLog(this);
    if (!hostAllowedForSigning(mHost)) return false;

    OVLOG_DEBUG() << "【更新服务】init 1";
    mBackendServer = OrvalenBackendServer::getInstance();
    OVLOG_DEBUG() << "【更新服务】init 2";
    if (!mBackendServer) {
        OVLOG_DEBUG() << "OrvalenBackendServer::getInstance() fail";
        return false;
    }
    OVLOG_DEBUG() << "【更新服务】init 3";
    mDownloadManager = OrvalenDownloadManager::getInstance();
    OVLOG_DEBUG() << "【更新服务】init 4";
    if (!mDownloadManager) {
        OVLOG_DEBUG() << "OrvalenDownloadManager::getInstance() fail";
        return false;
    }
    if (!mBackendServer->setDeviceInfo(mDeviceModel, mSerialNumber)) {
        OVLOG_DEBUG() << "【更新服务】init setDeviceInfo failed";
    }
    OVLOG_DEBUG() << "【更新服务】init 5";
    const bool connected = mBackendServer->connectToServer(mHost, mTls.skipCertificateCheck,
                                                           kConnectTimeoutSeconds, mTls.caFile);
    OVLOG_DEBUG() << "【更新服务】init 6";
    if (!connected) {
        OVLOG_DEBUG() << "【更新服务】connectToServer fail";
        return false;
    }
    OVLOG_DEBUG() << "【更新服务】connectToServer success";
    mInitialised = true;
    return true;
}

void OVUpdateServicePrivate::start() {
    OVLOG_DEBUG() << "【更新服务】start 1";
    if (!mInitialised) {
        OVLOG_DEBUG() << "OVUpdateServicePrivate not init!";
        return;
    }
    OVLOG_DEBUG() << "【更新服务】start 2";
    OVLOG_DEBUG() << "【更新服务】start 3";
    OrvalenOtaReceived received;
    int32_t result = mBackendServer->queryUpgrade(received, mPackageCode, mVersionValue, "");
    if (result == E_ORVALEN_QUERY_HAS_UPGRADE && !offerIsNewer(received))
        result = E_ORVALEN_QUERY_NO_UPGRADE;
    mObserver.setResult(result);
    mObserver.setRemoteVersion(QString::fromStdString(received.versionName));
    mObserver.setReleaseNotes(QString::fromStdString(received.packageDescription));
    OVLOG_DEBUG() << "【更新服务】queryUpgrade result back=" << result;

    if (result == E_ORVALEN_QUERY_HAS_UPGRADE) {
        if (!packageAddressAllowed(mHost, received.fileUrl, mTls.skipCertificateCheck)) {
            onDownloadFinish(E_ORVALEN_DOWNLOAD_FAILED, std::string());
            return;
        }
        mOfferedVersionName = received.versionName;
        mFullPackage = Download{received.fileUrl, received.fileMd5, received.packageSignature,
                                received.packageSize, 0};
        const OrvalenDeltaOffer* delta = received.deltaFrom(mVersionValue);
        if (delta && packageAddressAllowed(mHost, delta->fileUrl, mTls.skipCertificateCheck)) {
            OVLOG_DEBUG() << "【更新服务】delta offered from version value" << mVersionValue
                          << ", size" << delta->packageSize << "instead of" << received.packageSize;
            queueDownload(Download{delta->fileUrl, delta->fileMd5, delta->packageSignature,
                                   delta->packageSize, delta->fromVersionValue});
        } else {
            queueDownload(mFullPackage);
        }
        return;
    }
    OVLOG_DEBUG() << "【更新服务】queryUpgrade no upgrade or error: "
                  << getQueryResultString(result);
    mObserver.downloadFinished(result, QString());
}

void OVUpdateServicePrivate::queueDownload(const Download& download) {
    mDownloading = download;
    OVLOG_DEBUG() << "【更新服务】start download task";
    auto parameter = std::make_shared<OrvalenDownloadParameter>();
    parameter->url = download.url;
    parameter->md5 = download.md5;
    parameter->fileSize = download.size;
    parameter->reservedNames = mReservedNames;
    mDownloadManager->addDownloadTask(parameter, mDownloadDirectory, this,
                                      mTls.skipCertificateCheck, kConnectTimeoutSeconds,
                                      mTls.caFile);
}

bool OVUpdateServicePrivate::offerIsNewer(const OrvalenOtaReceived& received) const {
    const QString installed = QString::fromStdString(mVersionText);
    const QString offered = received.versionName.empty()
                                ? mObserver.offeredVersion()
                                : QString::fromStdString(received.versionName);
    // Only a version that parses has an order: anything else could be a
    // downgrade in disguise, and a name is recorded and passed on as it is.
    if (!acceptableVersionName(installed)) {
        OVLOG_DEBUG() << "【更新服务】refused: the installed version" << installed
                      << "does not parse, so no offer can be shown to be newer";
        return false;
    }
    if (!acceptableVersionName(offered)) {
        OVLOG_DEBUG() << "【更新服务】refused: the offered version name"
                      << offered.left(64).simplified()
                      << "is not up to 64 characters of [0-9A-Za-z.+-] that parse as a version";
        return false;
    }
    if (*compareVersions(offered, installed) > 0) return true;
    OVLOG_DEBUG() << "【更新服务】refused: the offered version" << offered
                  << "is not newer than the installed version" << installed;
    return false;
}

int32_t OVUpdateServicePrivate::queryUpgrade(QString& remoteVersion) {
    OVLOG_DEBUG() << "【更新服务】start queryUpgrade";
    if (!mBackendServer) return E_ORVALEN_QUERY_NOT_INIT;
    OrvalenOtaReceived received;
    const int32_t result = mBackendServer->queryUpgrade(received, mPackageCode, mVersionValue, "");
    mObserver.setReleaseNotes(QString::fromStdString(received.packageDescription));
    OVLOG_DEBUG() << "【更新服务】queryUpgrade result back=" << result
                  << ",remote version=" << received.versionName.c_str();
    remoteVersion = QString::fromStdString(received.versionName);
    return result;
}

void OVUpdateServicePrivate::onDownloading(double percent, const std::string&) {
    OVLOG_DEBUG() << "【后台更新服务】onDownloading back=" << percent;
    mObserver.downloadProgress(wholePercent(percent));
}

void OVUpdateServicePrivate::onDownloadSpeed(double bytesPerSecond, const std::string& fileName) {
    OVLOG_DEBUG() << "【后台更新服务】onDownloadSpeed back dlspeed=" << bytesPerSecond
                  << ",fileName=" << fileName.c_str();
}

void OVUpdateServicePrivate::onDownloadFinish(int32_t code, const std::string& downloaded) {
    const bool delivered = code == E_ORVALEN_DOWNLOAD_MD5_OK || code == E_ORVALEN_DOWNLOAD_NO_MD5;
    if (mDownloading.deltaFrom > 0) {
        if (stageDeltaOrFallBack(code, downloaded)) finish(code, downloaded, true);
        return;
    }
    if (delivered) code = checkCopy(downloaded);
    finish(code, downloaded, false);
}

void OVUpdateServicePrivate::finish(int32_t code, std::string fileName, bool deltaStaged) {
    if (code != E_ORVALEN_DOWNLOAD_MD5_OK && code != E_ORVALEN_DOWNLOAD_NO_MD5) fileName.clear();
    OVLOG_DEBUG() << "【后台更新服务】onDownloadFinish back=" << code
                  << ", filename=" << fileName.c_str();
    const QString name = QFile::decodeName(QByteArray::fromStdString(fileName));
    mObserver.setResult(code);
    mObserver.setFileName(name);
    mObserver.setDeltaStaged(deltaStaged);
    mObserver.downloadFinished(code, name);
}

bool OVUpdateServicePrivate::stageDeltaOrFallBack(int32_t code, const std::string& fileName) {
    const bool delivered = code == E_ORVALEN_DOWNLOAD_MD5_OK || code == E_ORVALEN_DOWNLOAD_NO_MD5;
    QString why = QStringLiteral("its download ended with code %1").arg(code);
    if (delivered) code = checkCopy(fileName);
    if (delivered && code != E_ORVALEN_DOWNLOAD_MD5_OK && code != E_ORVALEN_DOWNLOAD_NO_MD5) {
        why = QStringLiteral("its check ended with code %1").arg(code);
    } else if (delivered) {
        const QString updaterDir = QCoreApplication::applicationDirPath();
        const OVDeltaStaging staging = stageDelta(
            packageCopyPath(fileName), OVArchiverArguments::installationFolderFor(updaterDir),
            QString::fromStdString(mVersionText), QString::fromStdString(mOfferedVersionName),
            OVArchiverArguments::presentRuntimeNames(updaterDir));
        if (staging.staged) {
            OVLOG_DEBUG()
                << "【后台更新服务】delta staged: every file checked against its manifest";
            return true;
        }
        why = staging.error;
    }
    OVLOG_DEBUG() << "【后台更新服务】delta not used, downloading the full package:"
                  << why.toUtf8().constData();
    if (!fileName.empty()) std::remove(joinedPath(mDownloadDirectory, fileName).c_str());
    queueDownload(mFullPackage);
    return false;
}

QString OVUpdateServicePrivate::packageCopyPath(const std::string& fileName) const {
    return QDir(mPackageCopyFolder)
        .filePath(QFile::decodeName(QByteArray::fromStdString(fileName)));
}

int32_t OVUpdateServicePrivate::checkCopy(const std::string& fileName) {
    // From here on the downloaded file is never read again: its folder is
    // the user's, so it could be replaced right after any check of it.
    const std::string stored = joinedPath(mDownloadDirectory, fileName);
    const QString copyPath = packageCopyPath(fileName);
    const OVPackageCopy copy =
        copyPackage(QFile::decodeName(QByteArray::fromStdString(stored)), copyPath);
    if (!copy.made) {
        OVLOG_DEBUG() << "【后台更新服务】package not copied for installation, download kept:"
                      << copy.error;
        return E_ORVALEN_DOWNLOAD_WRITE_ERROR;
    }
    bool accepted = true;
    const std::string& md5 = mDownloading.md5;
    if (!md5.empty() && QByteArray::fromStdString(md5).toLower() != copy.md5Hex) {
        OVLOG_DEBUG() << "【后台更新服务】the package copy's MD5" << copy.md5Hex
                      << "differs from the announced" << md5.c_str() << "; package deleted";
        std::remove(stored.c_str());
        accepted = false;
    } else {
        accepted = acceptSignedPackage(
            stored, static_cast<uint64_t>(copy.size), copy.sha256Hex.toStdString(), mPackageCode,
            mOfferedVersionName, mDownloading.signature, mDownloading.deltaFrom);
    }
    if (accepted) return md5.empty() ? E_ORVALEN_DOWNLOAD_NO_MD5 : E_ORVALEN_DOWNLOAD_MD5_OK;
    QFile::remove(copyPath);
    return E_ORVALEN_DOWNLOAD_MD5_DIFFERS;
}

void OVUpdateServicePrivate::printLog(int, const char* format, ...) {
    if (OVLogging::Logger::instance().level() > OVLogging::DebugLevel) return;
    char buffer[kLogBufferSize] = {0};
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    OVLOG_DEBUG() << "【升级服务打印】kzrLog buffer:" << buffer;
}
