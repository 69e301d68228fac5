#include "install/OVPackageInstaller.h"

#include <QDateTime>
#include <QFile>

#include "install/OVArchiverArguments.h"
#include "install/OVUninstallEntry.h"
#include "logging/OVLogging.h"

OVPackageInstaller::OVPackageInstaller(const OVUpdateSettings& settings, QObject* parent)
    : QObject(parent), mSettings(settings) {}

void OVPackageInstaller::start(const QString& packagePath, const QString& updaterDir,
                               const QString& version) {
    mPackagePath = packagePath;
    mVersion = version;
    OVLOG_DEBUG() << "cur path=" << updaterDir;
    const QString installDir = OVArchiverArguments::installationFolderFor(updaterDir);
    OVLOG_DEBUG() << "cur path2=" << installDir;
    const QStringList arguments = OVArchiverArguments::extractArguments(
        packagePath, installDir, OVArchiverArguments::presentRuntimeNames(updaterDir));
    OVLOG_DEBUG() << "unzip start=" << QDateTime::currentDateTime().toString();

    mProcess = new QProcess(this);
    mProcess->setObjectName(QStringLiteral("process"));
    connect(mProcess, &QProcess::readyReadStandardError, this,
            &OVPackageInstaller::on_process_readyReadStandardError);
    connect(mProcess, &QProcess::readyReadStandardOutput, this,
            &OVPackageInstaller::on_process_readyReadStandardOutput);
    connect(mProcess, &QProcess::errorOccurred, this, &OVPackageInstaller::on_process_errorOccurred);
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
    const OVUnzipOutputReader::Step step = mReader.read(mProcess->read(OVUnzipOutputReader::kChunkBytes));
    OVLOG_DEBUG() << "read=" << step.text;
    if (step.kind == OVUnzipOutputReader::Kind::Progress)
        emit sigProgress(step.progress, step.label);
    else if (step.kind == OVUnzipOutputReader::Kind::Ended)
        complete();
}

void OVPackageInstaller::on_process_errorOccurred(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) fail(QStringLiteral("archiver failed to start: ") + mProcess->errorString());
}

void OVPackageInstaller::on_process_finished(int exitCode, QProcess::ExitStatus status) {
    // Whatever is still buffered, then the output as a whole.
    while (!mEnded && mProcess->bytesAvailable() > 0) readOutputChunk();
    if (mEnded) return;
    if (mReader.endSeen())
        complete();
    else
        fail(QStringLiteral("archiver ended without an end text, exit code %1, %2")
                 .arg(exitCode)
                 .arg(status == QProcess::NormalExit ? QStringLiteral("normal exit") : QStringLiteral("crashed")));
}

void OVPackageInstaller::complete() {
    mEnded = true;
    mSettings.setSetupProgress(100);
    const bool removed = QFile::remove(mPackagePath);
    OVLOG_DEBUG() << "unzip end=" << QDateTime::currentDateTime().toString() << ",remove tmp file=" << removed;
    OVUninstallEntry::setDisplayVersion(mVersion, mSettings.storeDir());
    emit sigInstallEnded(true);
}

void OVPackageInstaller::fail(const QString& why) {
    if (mEnded) return;
    mEnded = true;
    OVLOG_DEBUG() << "install failed:" << why << ", package kept:" << mPackagePath;
    emit sigInstallEnded(false);
}
