#include "install/OVArchiverArguments.h"

#include <QDir>
#include <QFileInfo>

#include "logging/OVLogging.h"

namespace OVArchiverArguments {

const QStringList& runtimeNames() {
    static const QStringList names = {
        QStringLiteral("api-ms-win-crt-convert-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-environment-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-filesystem-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-heap-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-locale-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-math-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-runtime-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-stdio-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-string-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-time-l1-1-0.dll"),
        QStringLiteral("api-ms-win-crt-utility-l1-1-0.dll"),
        QStringLiteral("msvcp_win.dll"),
        QStringLiteral("msvcp100.dll"),
        QStringLiteral("msvcp110_win.dll"),
        QStringLiteral("msvcp140.dll"),
        QStringLiteral("msvcp140_1.dll"),
        QStringLiteral("msvcp140_2.dll"),
        QStringLiteral("msvcr100.dll"),
        QStringLiteral("msvcrt.dll"),
        QStringLiteral("vcruntime140.dll"),
        QStringLiteral("vcruntime140_1.dll"),
    };
    return names;
}

QStringList presentRuntimeNames(const QString& updaterDir) {
    QStringList present;
    for (const QString& name : runtimeNames()) {
        const QString path = QDir::toNativeSeparators(updaterDir + QLatin1Char('/') + name);
        if (QFileInfo::exists(path)) {
            OVLOG_DEBUG() << "file exists: " << path;
            present << name;
        }
    }
    return present;
}

QString installationFolderFor(const QString& updaterDir) {
    QDir dir(updaterDir);
    dir.cd(QStringLiteral(".."));
    dir.cd(QStringLiteral(".."));
    return QDir::fromNativeSeparators(dir.absolutePath());
}

QStringList extractArguments(const QString& packagePath, const QString& installDir,
                             const QStringList& excludedNames) {
    QStringList arguments = {QStringLiteral("x"),
                             packagePath,
                             QStringLiteral("-o") + installDir,
                             QStringLiteral("-sdel"),
                             QStringLiteral("-aoa"),
                             QStringLiteral("-bsp1"),
                             QStringLiteral("-bse1")};
    for (const QString& name : excludedNames) arguments << QStringLiteral("-xr!") + name;
    return arguments;
}

}  // namespace OVArchiverArguments
