#include "service/OVPackageSigning.h"

#include <QFile>
#include <QString>
#include <cstdio>
#include <mutex>
#include <vector>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"
#include "logging/OVLogger.h"

using Orvalen::SignatureVerdict;
using Orvalen::SigningPublicKey;

namespace {

struct BuiltInKeys {
    std::mutex mutex;
    bool present = false;  // any key text at all: then a signature is required
    std::vector<SigningPublicKey> keys;
    std::string error;
};

BuiltInKeys& builtIn() {
    static BuiltInKeys keys;
    return keys;
}

void logLine(const QString& line) { OVLOG_DEBUG() << qUtf8Printable(line); }

bool isHttps(const std::string& address) {
    return QString::fromStdString(address).startsWith(QLatin1String("https://"),
                                                      Qt::CaseInsensitive);
}

QString refusalDetail(SignatureVerdict verdict) {
    switch (verdict) {
        case SignatureVerdict::Missing:
            return QStringLiteral("the download-address answer has no packageSignature");
        case SignatureVerdict::Malformed:
            return QStringLiteral("packageSignature is not base64 of a 64-byte Ed25519 signature");
        case SignatureVerdict::StatementMismatch:
            return QStringLiteral(
                "no statement can be formed: the versionName is empty or holds a line break");
        case SignatureVerdict::DoesNotVerify:
        case SignatureVerdict::Verified:
            break;
    }
    return QStringLiteral("no built-in key verifies it over this package's statement");
}

}  // namespace

void setBuiltInSigningKeys(const std::string& commaSeparatedKeys) {
    BuiltInKeys& b = builtIn();
    std::lock_guard<std::mutex> lock(b.mutex);
    b.present = commaSeparatedKeys.find_first_not_of(" ,\t") != std::string::npos;
    Orvalen::parsePublicKeys(commaSeparatedKeys, b.keys, b.error);
}

bool hostAllowedForSigning(const std::string& host) {
    BuiltInKeys& b = builtIn();
    std::lock_guard<std::mutex> lock(b.mutex);
    if (!b.present) {
        logLine(QStringLiteral(
            "【更新服务】no package signing key built in: packages are not signature-checked"));
        return true;
    }
    // A key that does not parse verifies nothing: the check fails closed.
    if (!b.error.empty()) {
        logLine(QStringLiteral("【更新服务】built-in signing key unusable: ") +
                QString::fromStdString(b.error));
    }
    if (isHttps(host)) return true;
    logLine(QStringLiteral("【更新服务】refused: update/host is not https while a package signing "
                           "key is built in; no request made: ") +
            QString::fromStdString(host));
    return false;
}

bool packageAddressAllowed(const std::string& host, const std::string& url, bool insecureTls) {
    if (!isHttps(host) || isHttps(url)) return true;
    if (insecureTls) {
        logLine(QStringLiteral("【更新服务】package address is not https, allowed by "
                               "update/insecureTls=1: ") +
                QString::fromStdString(url));
        return true;
    }
    logLine(QStringLiteral("【更新服务】refused: package address is not https while update/host "
                           "is https (update/insecureTls=1 allows it): ") +
            QString::fromStdString(url));
    return false;
}

bool acceptSignedPackage(const std::string& localPath, uint64_t size, const std::string& sha256Hex,
                         const std::string& packageCode, const std::string& versionName,
                         const std::string& signature, int32_t deltaFromVersionValue) {
    std::vector<SigningPublicKey> keys;
    {
        BuiltInKeys& b = builtIn();
        std::lock_guard<std::mutex> lock(b.mutex);
        if (!b.present) return true;
        keys = b.keys;
    }
    size_t keyIndex = 0;
    const std::string statement =
        Orvalen::packageStatement(packageCode, versionName, size, sha256Hex, deltaFromVersionValue);
    const SignatureVerdict verdict =
        Orvalen::verifyStatement(keys, statement, signature, &keyIndex);
    // The statement as one line, its line feeds written as \n.
    logLine(QStringLiteral("【后台更新服务】package statement: ") +
            QString::fromStdString(statement).replace(QLatin1Char('\n'), QLatin1String("\\n")));
    if (verdict == SignatureVerdict::Verified) {
        logLine(
            QStringLiteral("【后台更新服务】package signature verified with built-in key %1 of %2")
                .arg(keyIndex + 1)
                .arg(keys.size()));
        return true;
    }
    // Gone before the refusal is reported, like a package with a wrong MD5.
    std::remove(localPath.c_str());
    logLine(
        QStringLiteral("【后台更新服务】package signature refused (%1): %2; package deleted: %3")
            .arg(QString::fromLatin1(Orvalen::signatureVerdictText(verdict)),
                 refusalDetail(verdict), QFile::decodeName(QByteArray::fromStdString(localPath))));
    return false;
}
