#include "service/OVDeltaStaging.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <optional>
#include <string>
#include <vector>

#include "delta/DeltaFiles.h"
#include "delta/DeltaManifest.h"
#include "delta/DeltaRebuild.h"
#include "install/OVArchiverArguments.h"
#include "install/OVInstallSteps.h"
#include "service/OVUpdateValues.h"

namespace {

constexpr int kExtractMilliseconds = 30 * 60 * 1000;

bool sameVersion(const std::string& recorded, const QString& version) {
    const std::optional<int> order = compareVersions(QString::fromStdString(recorded), version);
    return order && *order == 0;
}

QString extract(const QString& deltaCopy, const QString& folder) {
    QProcess archiver;
    archiver.setProcessChannelMode(QProcess::MergedChannels);
    archiver.setStandardOutputFile(QProcess::nullDevice());
    archiver.start(QStringLiteral("7z"),
                   OVArchiverArguments::extractArguments(deltaCopy, folder, QStringList()));
    if (!archiver.waitForFinished(kExtractMilliseconds) ||
        archiver.exitStatus() != QProcess::NormalExit || archiver.exitCode() != 0) {
        archiver.kill();
        archiver.waitForFinished();
        return QStringLiteral("7z could not extract the delta (exit code %1)")
            .arg(archiver.exitCode());
    }
    return QString();
}

QString stageFrom(const OVPlatform::InstallWorkArea& area, const OVPlatform::fs::path& extracted,
                  const QString& installedVersion, const QString& offeredVersion,
                  const QStringList& skippedNames) {
    std::string text;
    delta::Manifest manifest;
    std::string error;
    if (!delta::readWholeFile(extracted / delta::kManifestName, 16 << 20, text)) {
        return QStringLiteral("the delta has no readable manifest");
    }
    if (!delta::readManifest(text, manifest, error)) return QString::fromStdString(error);
    if (!sameVersion(manifest.fromVersion, installedVersion) ||
        !sameVersion(manifest.toVersion, offeredVersion)) {
        return QStringLiteral("the delta goes from %1 to %2, not from %3 to %4")
            .arg(QString::fromStdString(manifest.fromVersion),
                 QString::fromStdString(manifest.toVersion), installedVersion, offeredVersion);
    }
    std::vector<std::string> skipped;
    for (const QString& name : skippedNames) skipped.push_back(name.toStdString());
    delta::RebuildCount count;
    const delta::RebuildPlaces places{area.installDir, extracted, area.staging(),
                                      OVInstallSteps::stepHook()};
    if (!delta::rebuild(places, manifest, skipped, count, error)) {
        return QString::fromStdString(error);
    }
    return QString();
}

}  // namespace

OVDeltaStaging stageDelta(const QString& deltaCopy, const QString& installDir,
                          const QString& installedVersion, const QString& offeredVersion,
                          const QStringList& skippedNames) {
    const OVPlatform::InstallWorkArea area = OVInstallSteps::workAreaFor(installDir);
    // In the package folder, which goes with the work folder.
    const OVPlatform::fs::path extracted = area.package() / "delta.extracted";
    const QString extractedFolder = OVInstallSteps::fromPath(extracted);
    OVDeltaStaging result;
    QDir(extractedFolder).removeRecursively();
    if (!OVPlatform::removeStaging(area) ||
        !QDir().mkpath(OVInstallSteps::fromPath(area.staging()))) {
        result.error = QStringLiteral("cannot make the staging folder");
    } else {
        result.error = extract(deltaCopy, extractedFolder);
        if (result.error.isEmpty()) {
            result.error =
                stageFrom(area, extracted, installedVersion, offeredVersion, skippedNames);
        }
    }
    QDir(extractedFolder).removeRecursively();
    QFile::remove(deltaCopy);
    result.staged = result.error.isEmpty();
    if (!result.staged) OVPlatform::removeStaging(area);
    return result;
}
