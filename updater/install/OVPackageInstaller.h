#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include "install/OVUnzipOutputReader.h"
#include "service/OVUpdateSettings.h"

// Extracts a downloaded package over the installation with the 7-Zip
// archiver, follows its output, and on completion deletes the package, writes
// 100 to update/setupProgress and the version into the uninstall entry.
// Ends exactly once with sigInstallEnded: installed, or not (the archiver did
// not start, or ended without an end text; the package, the setup progress
// and the uninstall entry are then left as they were).
class OVPackageInstaller : public QObject {
    Q_OBJECT
public:
    explicit OVPackageInstaller(const OVUpdateSettings& settings, QObject* parent = nullptr);

    // The archiver's program name, "7z" unless a test sets another.
    void setProgram(const QString& program) { mProgram = program; }

    // packagePath: the downloaded archive; updaterDir: the folder of Update,
    // two levels below the installation; version: written to the uninstall
    // entry.
    void start(const QString& packagePath, const QString& updaterDir, const QString& version);

signals:
    void sigProgress(int value, const QString& label);
    void sigInstallEnded(bool installed);

private slots:
    void on_process_readyReadStandardOutput();
    void on_process_readyReadStandardError();
    void on_process_errorOccurred(QProcess::ProcessError error);
    void on_process_finished(int exitCode, QProcess::ExitStatus status);

private:
    void readOutputChunk();
    void complete();
    void fail(const QString& why);

    OVUpdateSettings mSettings;
    QString mProgram = QStringLiteral("7z");
    QString mPackagePath;
    QString mVersion;
    QProcess* mProcess = nullptr;
    OVUnzipOutputReader mReader;
    bool mEnded = false;
};
