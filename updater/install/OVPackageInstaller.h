#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include "install/OVUnzipOutputReader.h"
#include "service/OVUpdateSettings.h"

// Installs a downloaded package: the 7-Zip archiver extracts its checked copy
// in the work folder (OVInstallSteps::packageCopyPath) into a staging folder beside the
// installation (same volume, outside its tree); only a complete extraction ("Everything is Ok",
// exit code 0) is committed, file by file under a journal (platform/OVInstallJournal.h), and a
// failed commit is undone. Then the package is deleted, 100 goes to update/setupProgress and the
// version into the uninstall entry, and the staging and backup folders are removed. Ends exactly
// once with sigInstallEnded: installed, or not (the installation is as before; the downloaded
// package, the setup progress and the uninstall entry are left as they were, the copy is removed) -
// or, where a failed commit could not be undone, with sigInstallationBroken instead.
class OVPackageInstaller : public QObject {
    Q_OBJECT
public:
    explicit OVPackageInstaller(const OVUpdateSettings& settings, QObject* parent = nullptr);

    // The archiver's program name, "7z" unless a test sets another.
    void setProgram(const QString& program) { mProgram = program; }
    // The package was a delta whose files the update service already
    // rebuilt, checked and staged (service/OVDeltaStaging.h): start commits
    // the staging folder as it is, without extracting anything.
    void setStagedByDelta(bool staged) { mStagedByDelta = staged; }

    // packagePath: the downloaded archive in the store, deleted after a
    // complete install; updaterDir: the folder of Update, two levels below
    // the installation; version: written to the uninstall entry, refused
    // unless an acceptable version name.
    void start(const QString& packagePath, const QString& updaterDir, const QString& version);

    // At start, right after the single-instance claim: undoes a commit that
    // a killed Update left unfinished, or finishes one whose journal records
    // completion (setup progress, package, uninstall entry), and removes a
    // staging folder left behind. False when the installation could not be
    // restored: it must not be started then.
    static bool recoverAtStart(OVUpdateSettings& settings, const QString& updaterDir);

signals:
    void sigProgress(int value, const QString& label);
    void sigInstallEnded(bool installed);
    void sigInstallationBroken();

private slots:
    void on_process_readyReadStandardOutput();
    void on_process_readyReadStandardError();
    void on_process_errorOccurred(QProcess::ProcessError error);
    void on_process_finished(int exitCode, QProcess::ExitStatus status);

private:
    void readOutputChunk();
    void commit();
    void complete();
    void fail(const QString& why);

    OVUpdateSettings mSettings;
    QString mProgram = QStringLiteral("7z");
    QString mPackagePath;
    QString mVersion;
    QString mInstallDir;
    QProcess* mProcess = nullptr;
    OVUnzipOutputReader mReader;
    bool mEnded = false;
    bool mStagedByDelta = false;
};
