#pragma once

#include <QString>
#include <cstdint>

// What the worker behind the update service reports, on the thread it runs
// on: results and texts of a check, download progress and the finish. The
// service implements it and turns the reports into its state and signals.
class OVUpdateObserver {
public:
    virtual ~OVUpdateObserver() = default;

    virtual void setResult(int32_t value) = 0;
    virtual void setFileName(const QString& name) = 0;
    // The finished download was a delta whose files are already staged
    // beside the installation: the installation only commits them.
    virtual void setDeltaStaged(bool staged) = 0;
    virtual void setRemoteVersion(const QString& version) = 0;
    virtual void setReleaseNotes(const QString& notes) = 0;
    // The version offered on the command line, kept in the settings.
    virtual QString offeredVersion() const = 0;
    virtual void downloadProgress(int progress) = 0;
    virtual void downloadFinished(int code, const QString& fileName) = 0;
};
