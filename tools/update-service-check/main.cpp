// One check-and-download attempt through the updater's own service, as the
// progress window starts it, printing the signals it receives.
//   update-service-check [--host URL] [--ca FILE] [--insecure] [--code CODE]
//                        [--version TEXT] [--quit-on-progress]
// --host, --ca and --insecure are written into update.ini first (update/host,
// update/caFile, update/insecureTls); the service reads them from there. The
// updater log goes to peza-studio/logs/peza-update.txt and standard error.
// --quit-on-progress ends the program at the first progress signal, while
// the download still runs. Exit status 0 when the package was downloaded and
// verified (or on --quit-on-progress), 1 otherwise, 2 for bad arguments.
// Package signing keys are those of the build (UPDATE_SIGNING_PUBLIC_KEYS).
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "logging/OVLogMng.h"
#include "service/OVPackageSigning.h"
#include "service/OVUpdateService.h"

namespace {

struct Options {
    QString host;
    QString caFile;
    bool insecure = false;
    QString code = QStringLiteral("LUMI_DESK");
    QString version;
    bool quitOnProgress = false;
};

bool parse(const QStringList& arguments, Options& options) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == QLatin1String("--insecure")) {
            options.insecure = true;
            continue;
        }
        if (name == QLatin1String("--quit-on-progress")) {
            options.quitOnProgress = true;
            continue;
        }
        if (i + 1 >= arguments.size()) return false;
        const QString& value = arguments[++i];
        if (name == QLatin1String("--host")) {
            options.host = value;
        } else if (name == QLatin1String("--ca")) {
            options.caFile = value;
        } else if (name == QLatin1String("--code")) {
            options.code = value;
        } else if (name == QLatin1String("--version")) {
            options.version = value;
        } else {
            return false;
        }
    }
    return true;
}

void print(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    if (!parse(app.arguments(), options)) {
        std::fprintf(stderr,
                     "usage: update-service-check [--host URL] [--ca FILE] [--insecure]\n"
                     "                            [--code CODE] [--version TEXT] "
                     "[--quit-on-progress]\n");
        return 2;
    }
    // The signing keys of the build, as Update takes them.
    setBuiltInSigningKeys(UPDATE_SIGNING_PUBLIC_KEYS);
    OVLogMng::instance()->init(QStringLiteral("peza-update.txt"));
    OVUpdateService* service = OVUpdateService::instance();
    if (!options.host.isEmpty()) service->setHost(options.host);
    if (!options.caFile.isEmpty()) service->setCaFile(QFileInfo(options.caFile).absoluteFilePath());
    if (options.insecure) service->setInsecureTls(1);
    // No installation beside this tool: the package's checked copy goes into
    // the store.
    service->setPackageCopyFolder(service->storeDir() + QStringLiteral("package-copy"));
    print(QStringLiteral("settings: ") + QDir(service->settingsFile()).absolutePath());
    print(QStringLiteral("log: ") + OVLogMng::instance()->logFilePath());
    print(QStringLiteral("host: ") + service->host());

    int lastProgress = -1;
    int status = 1;
    QObject::connect(service, &OVUpdateService::sigDownloadProgressBack, &app, [&](int progress) {
        if (progress == lastProgress) return;
        lastProgress = progress;
        print(QStringLiteral("sigDownloadProgressBack %1").arg(progress));
        if (options.quitOnProgress && progress > 0) {
            status = 0;
            app.quit();
        }
    });
    QObject::connect(
        service, &OVUpdateService::sigDownloadFinishBack, &app,
        [&](int code, const QString& fileName) {
            print(QStringLiteral("sigDownloadFinishBack %1 \"%2\"").arg(code).arg(fileName));
            print(QStringLiteral("result %1, remote version \"%2\", notes \"%3\"")
                      .arg(service->result())
                      .arg(service->remoteVersion(), service->releaseNotes()));
            if (code == 0) {
                print(QStringLiteral("package: ") + service->storeDir() + fileName);
                status = 0;
            }
            app.quit();
        });
    service->checkUpdateAndDownload(options.code, options.version);
    app.exec();
    return status;
}
