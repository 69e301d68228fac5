#pragma once

#include <QString>
#include <QStringList>

// A delta package turned into the staging folder beside the installation,
// so that the installation step only commits: 7z extracts the checked copy
// of the delta into the work folder's package folder, its manifest must name the
// installed version and the offered one, and every changed or added file is
// rebuilt or moved into <work folder>/staging, each installed file it keeps
// or patches and each file it writes checked against the manifest's SHA-256
// (updater/delta). The extracted folder goes in every case; on failure the
// staging folder goes too, and the installation is untouched throughout.
struct OVDeltaStaging {
    bool staged = false;
    QString error;  // one line: why not
};

OVDeltaStaging stageDelta(const QString& deltaCopy, const QString& installDir,
                          const QString& installedVersion, const QString& offeredVersion,
                          const QStringList& skippedNames);
