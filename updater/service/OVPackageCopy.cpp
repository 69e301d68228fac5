#include "service/OVPackageCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

OVPackageCopy copyPackage(const QString& source, const QString& target) {
    OVPackageCopy copy;
    QFile in(source);
    QFile out(target);
    if (!QDir().mkpath(QFileInfo(target).absolutePath()) ||
        (QFileInfo::exists(target) && !QFile::remove(target)) ||
        !out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        copy.error =
            QStringLiteral("cannot make ") + target + QStringLiteral(": ") + out.errorString();
        return copy;
    }
    if (!in.open(QIODevice::ReadOnly)) {
        copy.error =
            QStringLiteral("cannot read ") + source + QStringLiteral(": ") + in.errorString();
        out.remove();
        return copy;
    }
    QCryptographicHash md5(QCryptographicHash::Md5);
    QCryptographicHash sha256(QCryptographicHash::Sha256);
    constexpr qint64 kChunk = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            copy.error = QStringLiteral("copy failed: ") +
                         (chunk.isEmpty() ? in.errorString() : out.errorString());
            out.remove();
            return copy;
        }
        md5.addData(chunk);
        sha256.addData(chunk);
        copy.size += chunk.size();
    }
    if (!out.flush()) {
        copy.error = QStringLiteral("copy failed: ") + out.errorString();
        out.remove();
        return copy;
    }
    copy.made = true;
    copy.md5Hex = md5.result().toHex();
    copy.sha256Hex = sha256.result().toHex();
    return copy;
}
