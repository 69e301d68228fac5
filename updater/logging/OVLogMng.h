#pragma once

#include <QObject>
#include <QString>

// Sets up the updater's log once at start-up: DEBUG and above, to the
// debugger output and to a size-rotated file in "peza-studio/logs".
class OVLogMng : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxLogSize = 10485760;
    static constexpr int kOldLogsKept = 2;

    // Created on first use, deleted at process exit.
    static OVLogMng* instance();

    void init(const QString& fileName);
    // The file init opened; empty before.
    QString logFilePath() const { return mLogFilePath; }

    // The log folder beside the application-data location: everything before
    // its last "/" (the whole location when it has none) + "/peza-studio/logs".
    static QString logFolderFor(const QString& appDataLocation);

private:
    OVLogMng() = default;

    QString mLogFilePath;
};
