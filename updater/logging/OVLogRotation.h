#pragma once

#include <QFile>
#include <QIODevice>
#include <QString>
#include <memory>

namespace OVLogging {

// Decides when a log file is rotated and how it is reopened.
class RotationStrategy {
public:
    virtual ~RotationStrategy() = default;
    virtual void initFromFile(const QFile& file) = 0;
    virtual void addMessageSize(const QString& message) = 0;
    virtual bool shouldRotate() = 0;
    virtual void rotate() = 0;
    virtual QIODevice::OpenMode reopenMode() const = 0;
};
using RotationStrategyPtr = std::shared_ptr<RotationStrategy>;

// No rotation; the file starts empty at every run.
class NullRotationStrategy : public RotationStrategy {
public:
    void initFromFile(const QFile&) override {}
    void addMessageSize(const QString&) override {}
    bool shouldRotate() override { return false; }
    void rotate() override {}
    QIODevice::OpenMode reopenMode() const override { return QIODevice::Truncate; }
};

// Rotates once the file grows past maxSize: the file becomes "<name>.1", older
// backups shift up by one and the oldest beyond backupCount is dropped. The
// file keeps growing across runs.
class SizeRotationStrategy : public RotationStrategy {
public:
    static constexpr int kMaxBackups = 10;

    void initFromFile(const QFile& file) override;
    void addMessageSize(const QString& message) override;
    bool shouldRotate() override { return currentSize > maxSize; }
    void rotate() override;
    QIODevice::OpenMode reopenMode() const override { return QIODevice::Append; }

    void setMaximumSizeInBytes(qint64 size) { maxSize = size; }
    // Cut to 0..kMaxBackups.
    void setBackupCount(int backups);
    int backups() const { return backupCount; }

private:
    QString backupName(int index) const;

    QString fileName;
    qint64 currentSize = 0;
    qint64 maxSize = 0;
    int backupCount = 0;
};

}  // namespace OVLogging
