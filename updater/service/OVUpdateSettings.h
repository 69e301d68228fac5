#pragma once

#include <QString>
#include <QVariant>

// The updater's settings file "update.ini" in the per-user "peza-studio"
// folder, shared with the main application. Every accessor opens the file,
// touches one key of the section [update] and closes it again, so values
// written by another process between two calls are seen.
class OVUpdateSettings {
public:
    // The store's folder is computed once, from the given application-data
    // location (storeDirFor).
    explicit OVUpdateSettings(const QString& appDataLocation);

    // Everything before the last "/" of the location + "/peza-studio/"; empty
    // when the location has no "/" after its first character.
    static QString storeDirFor(const QString& appDataLocation);

    // Where packages are downloaded; ends in "/" or is empty.
    QString storeDir() const { return mStoreDir; }
    // storeDir + "update.ini" (relative to the current folder when storeDir
    // is empty).
    QString settingsFile() const { return mStoreDir + QStringLiteral("update.ini"); }

    // update/host: the backend's base address.
    QString host() const;
    void setHost(const QString& host);
    // update/content: release notes handed over by whoever starts Update.
    QString content() const;
    void setContent(const QString& content);
    // update/setupProgress: -1 once a download has ended, 100 once installed.
    int setupProgress() const;
    void setSetupProgress(int progress);
    // update/localPEZAVer, update/remotePEZAVer: installed and offered versions.
    QString localVer() const;
    void setLocalVer(const QString& version);
    QString remoteVer() const;
    void setRemoteVer(const QString& version);
    QString remoteDeviceVer() const;
    void setRemoteDeviceVer(const QString& version);
    int devUpgradeProcess() const;
    void setDevUpgradeProcess(int process);
    // update/caFile: PEM bundle of the certificates trusted for the backend
    // and the downloads; empty: the system's store.
    QString caFile() const;
    void setCaFile(const QString& path);
    // update/insecureTls: 1 skips the certificate checks; never written by
    // Update itself.
    int insecureTls() const;
    void setInsecureTls(int insecure);

    // Writes the given host when update/host is empty; a host already there
    // is kept.
    void fillHostIfEmpty(const QString& host);

private:
    QString text(const char* key) const;
    int integer(const char* key) const;
    void write(const char* key, const QVariant& value);

    QString mStoreDir;
};
