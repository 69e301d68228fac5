#include "logging/OVLogRotation.h"

#include <algorithm>

#include "logging/OVLogFailure.h"

namespace OVLogging {

void SizeRotationStrategy::initFromFile(const QFile& file) {
    fileName = file.fileName();
    currentSize = file.size();
}

void SizeRotationStrategy::addMessageSize(const QString& message) {
    currentSize += message.toUtf8().size();
}

void SizeRotationStrategy::setBackupCount(int backups) {
    backupCount = std::clamp(backups, 0, kMaxBackups);
}

QString SizeRotationStrategy::backupName(int index) const {
    return fileName + u'.' + QString::number(index);
}

void SizeRotationStrategy::rotate() {
    if (backupCount == 0) {
        if (!QFile::remove(fileName))
            reportLogFailure(QStringLiteral("backup delete failed ") + fileName);
        return;
    }
    int lastShifted = 0;
    for (int i = 1; i <= backupCount && QFile::exists(backupName(i)); ++i) {
        lastShifted = std::min(i, backupCount - 1);
    }
    for (int i = lastShifted; i >= 1; --i) {
        const QString from = backupName(i);
        const QString to = backupName(i + 1);
        QFile::remove(to);
        if (!QFile::rename(from, to)) {
            reportLogFailure(QStringLiteral("could not rename backup %1 to %2").arg(from, to));
        }
    }
    const QString newest = backupName(1);
    if (QFile::exists(newest)) QFile::remove(newest);
    if (!QFile::rename(fileName, newest)) {
        reportLogFailure(QStringLiteral("could not rename log %1 to %2").arg(fileName, newest));
    }
}

}  // namespace OVLogging
