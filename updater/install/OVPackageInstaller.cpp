#include "install/OVPackageInstaller.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "install/OVArchiverArguments.h"
#include "install/OVInstallSteps.h"
#include "install/OVUninstallEntry.h"
#include "logging/OVLogging.h"
#include "platform/journal_records.h"
#include "service/OVUpdateServicePrivate.h"
#include "service/OVUpdateValues.h"

OVPackageInstaller::OVPackageInstaller(const OVUpdateSettings& settings, QObject* parent)
    : QObject(parent), mSettings(settings) {}

namespace {

// The package a completed journal names: only "<store>/<file name>", where
// the name is plain and none the store keeps for itself; else nothing.
QString storePackageToDelete(const OVUpdateSettings& settings, const std::string& recorded) {
    const std::string name = OVPlatform::fs::u8path(recorded).filename().u8string();
    const std::vector<std::string> reserved = reservedFileNames(settings);
    if (!OVPlatform::journal::plainFileName(name) ||
        std::find(reserved.begin(), reserved.end(), name) != reserved.end()) {
        OVLOG_DEBUG() << "recovery: the journal's package" << QString::fromStdString(recorded)
                      << "is not a file name of the store; ignored";
        return QString();
    }
    return settings.storeDir() + QString::fromStdString(name);
}

}  // namespace

bool OVPackageInstaller::recoverAtStart(OVUpdateSettings& settings, const QString& updaterDir) {
    const QString installDir = OVArchiverArguments::installationFolderFor(updaterDir);
    const OVPlatform::Recovery recovery = OVPlatform::recoverInstallation(
        OVInstallSteps::workAreaFor(installDir), OVInstallSteps::log(), OVInstallSteps::stepHook(),
        [](const std::string& version) {
            return acceptableVersionName(QString::fromStdString(version));
        });
    using Action = OVPlatform::Recovery::Action;
    if (recovery.action == Action::Failed) return false;
    if (recovery.action == Action::Completed) {
        const QString version = QString::fromStdString(recovery.version);
        settings.setSetupProgress(100);
        const QString package = storePackageToDelete(settings, recovery.package);
        const bool removed = !package.isEmpty() && QFile::remove(package);
        OVLOG_DEBUG() << "recovery: installed" << version << ",remove tmp file=" << removed;
        settings.setRemoteVer(version);
        OVUninstallEntry::setDisplayVersion(version, settings.storeDir());
    }
    return true;
}

void OVPackageInstaller::start(const QString& packagePath, const QString& updaterDir,
                               const QString& version) {
    mPackagePath = packagePath;
    mVersion = version;
    OVLOG_DEBUG() << "cur path=" << updaterDir;
    mInstallDir = OVArchiverArguments::installationFolderFor(updaterDir);
    OVLOG_DEBUG() << "cur path2=" << mInstallDir;
    if (!acceptableVersionName(version)) {
        fail(QStringLiteral("the version to record is not a version name: ") + version.left(64));
        return;
    }
    const OVPlatform::InstallWorkArea area = OVInstallSteps::workAreaFor(mInstallDir);
    if (mStagedByDelta) {
        if (!QFileInfo(OVInstallSteps::fromPath(area.staging())).isDir()) {
            fail(QStringLiteral("the files the delta staged are gone"));
            return;
        }
        OVLOG_DEBUG() << "committing the files the delta staged";
        // Ends after start returns, as an extraction does.
        QMetaObject::invokeMethod(this, &OVPackageInstaller::commit, Qt::QueuedConnection);
        return;
    }
    // The checked copy, never the store's file, which its user can replace.
    const QString copy = OVInstallSteps::packageCopyPath(mInstallDir, packagePath);
    const QString staging = OVInstallSteps::fromPath(area.staging());
    if (!OVPlatform::removeStaging(area) || !QDir().mkpath(staging)) {
        fail(QStringLiteral("cannot make the staging folder ") + staging);
        return;
    }
    OVLOG_DEBUG() << "staging=" << staging;
    const QStringList arguments = OVArchiverArguments::extractArguments(
        copy, staging, OVArchiverArguments::presentRuntimeNames(updaterDir));
    OVLOG_DEBUG() << "unzip start=" << QDateTime::currentDateTime().toString();

    mProcess = new QProcess(this);
    mProcess->setObjectName(QStringLiteral("process"));
    connect(mProcess, &QProcess::readyReadStandardError, this,
            &OVPackageInstaller::on_process_readyReadStandardError);
    connect(mProcess, &QProcess::readyReadStandardOutput, this,
            &OVPackageInstaller::on_process_readyReadStandardOutput);
    connect(mProcess, &QProcess::errorOccurred, this,
            &OVPackageInstaller::on_process_errorOccurred);
    connect(mProcess, &QProcess::finished, this, &OVPackageInstaller::on_process_finished);
    mProcess->start(mProgram, arguments, QIODevice::ReadWrite);
}

void OVPackageInstaller::on_process_readyReadStandardError() {
    OVLOG_DEBUG() << "read error=" << QString::fromUtf8(mProcess->readAllStandardError());
}

void OVPackageInstaller::on_process_readyReadStandardOutput() { readOutputChunk(); }

void OVPackageInstaller::readOutputChunk() {
    if (mEnded) return;
    mProcess->setReadChannel(QProcess::StandardOutput);
    const OVUnzipOutputReader::Step step =
        mReader.read(mProcess->read(OVUnzipOutputReader::kChunkBytes));
    OVLOG_DEBUG() << "read=" << step.text;
    if (step.kind == OVUnzipOutputReader::Kind::Progress)
        emit sigProgress(step.progress, step.label);
}

void OVPackageInstaller::on_process_errorOccurred(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart)
        fail(QStringLiteral("archiver failed to start: ") + mProcess->errorString());
}

void OVPackageInstaller::on_process_finished(int exitCode, QProcess::ExitStatus status) {
    while (!mEnded && mProcess->bytesAvailable() > 0) readOutputChunk();
    if (mEnded) return;
    // Only a whole extraction is installed: "Sub items Errors" (a file that
    // could not be written), a full disk or a crash leave a partial tree.
    if (status == QProcess::NormalExit && exitCode == 0 && mReader.everythingOk())
        commit();
    else
        fail(QStringLiteral("extraction incomplete, exit code %1, %2, %3")
                 .arg(exitCode)
                 .arg(status == QProcess::NormalExit ? QStringLiteral("normal exit")
                                                     : QStringLiteral("crashed"))
                 .arg(mReader.everythingOk() ? QStringLiteral("Everything is Ok")
                                             : QStringLiteral("no \"Everything is Ok\"")));
}

void OVPackageInstaller::commit() {
    const OVPlatform::CommitResult result =
        OVPlatform::commitStaged(OVInstallSteps::workAreaFor(mInstallDir), mVersion.toStdString(),
                                 QFileInfo(mPackagePath).fileName().toStdString(),
                                 OVInstallSteps::log(), OVInstallSteps::stepHook());
    if (result.committed) {
        complete();
    } else if (result.restored) {
        fail(QStringLiteral("commit failed and undone: ") + QString::fromStdString(result.failure));
    } else {
        mEnded = true;
        OVLOG_DEBUG() << "install failed and could not be undone:"
                      << QString::fromStdString(result.failure);
        emit sigInstallationBroken();
    }
}

void OVPackageInstaller::complete() {
    mEnded = true;
    mSettings.setSetupProgress(100);
    const bool removed = QFile::remove(mPackagePath);
    OVLOG_DEBUG() << "unzip end=" << QDateTime::currentDateTime().toString()
                  << ",remove tmp file=" << removed;
    OVUninstallEntry::setDisplayVersion(mVersion, mSettings.storeDir());
    if (!OVPlatform::removeWorkArea(OVInstallSteps::workAreaFor(mInstallDir),
                                    OVInstallSteps::stepHook())) {
        OVLOG_DEBUG() << "the staging and backup folders could not be removed completely";
    }
    emit sigInstallEnded(true);
}

void OVPackageInstaller::fail(const QString& why) {
    if (mEnded) return;
    mEnded = true;
    OVLOG_DEBUG() << "install failed:" << why << ", package kept:" << mPackagePath;
    if (!mInstallDir.isEmpty())
        OVPlatform::removeWorkArea(OVInstallSteps::workAreaFor(mInstallDir),
                                   OVInstallSteps::stepHook());
    emit sigInstallEnded(false);
}
