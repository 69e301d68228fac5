#include "startup/OVUpdateEntry.h"

#include <QApplication>
#include <QThread>

#include "install/OVPackageInstaller.h"
#include "logging/OVLogMng.h"
#include "logging/OVLogging.h"
#include "service/OVUpdateService.h"
#include "startup/OVCommandLine.h"
#include "startup/OVSingleInstance.h"
#include "startup/OVTerminationSignals.h"
#include "windows/OVDlgUpdate.h"
#include "windows/OVRestart.h"
#ifdef UPDATE_TEST_HOOKS
#include "startup/OVTestHooks.h"
#endif

namespace {

const char kUpdaterVersion[] = "2.0.3.11";

void handOver(const OVCommandLine& commandLine, OVDlgUpdate& offer) {
    offer.setAppPath(commandLine.appPath());
    offer.setRemoteVersion(commandLine.remoteVersion());
    offer.setLocalVersion(commandLine.localVersion());
    QString notes;
    if (commandLine.notesFromSettings()) {
        OVLOG_DEBUG() << "get update content from config file";
        notes = OVUpdateService::instance()->content();
    } else {
        notes = commandLine.at(4);
        OVLOG_DEBUG() << "get update content from args " << notes;
    }
    offer.setUpdateContent(notes);
}

}  // namespace

int runUpdate(int argc, char** argv) {
    QApplication app(argc, argv);
    OVLogMng::instance()->init(QStringLiteral("peza-update.txt"));
    OVDlgUpdate offer;
    offer.hide();

    OVSingleInstance instance;
    switch (instance.claim()) {
        case OVSingleInstance::Claim::AlreadyRunning:
            OVRestart::endProcess();
        case OVSingleInstance::Claim::CreateFailed:
            return 2;
        case OVSingleInstance::Claim::AcquireFailed:
            return 3;
        case OVSingleInstance::Claim::Claimed:
            break;
    }
    OVRestart::setBeforeExit([&instance] { instance.close(); });
    onTerminationSignals([] {
        OVLOG_DEBUG() << "ended by a signal";
        OVRestart::endProcess();
    });
#ifdef UPDATE_TEST_HOOKS
    OVTestHooks::install();
#endif
    // Before anything else may start the main application: a commit that a
    // killed Update left unfinished is undone (or finished) here, and only
    // by the instance that holds the claim.
    if (!OVPackageInstaller::recoverAtStart(*OVUpdateService::instance(),
                                            QCoreApplication::applicationDirPath())) {
        OVLOG_DEBUG()
            << "the installation could not be restored; the main application is not started";
        instance.release();
        OVRestart::endProcess();
    }
#ifdef UPDATE_TEST_HOOKS
    if (OVTestHooks::exitAfterRecovery()) {
        OVLOG_DEBUG() << "OV_TEST_EXIT_AFTER_RECOVERY: exit after recovery";
        instance.release();
        return 0;
    }
#endif

    const OVCommandLine commandLine = OVCommandLine::fromArgv(argc, argv);
    QObject::connect(
        &app, &QCoreApplication::aboutToQuit, &app,
        [&instance] {
            OVLOG_DEBUG() << "aboutToQuit";
            instance.release();
        },
        Qt::DirectConnection);
    QObject::connect(
        &offer, &OVDlgUpdate::sig_detachMemory, &app,
        [&instance, &commandLine](const QString& qreVer) {
            OVLOG_DEBUG() << "sig_detachMemory invoke";
            instance.release();
            OVLOG_DEBUG() << "startDetached argv[1]=" << commandLine.appPath()
                          << ", qreVer=" << qreVer;
            OVRestart::startMainApplication(commandLine.appPath(), qreVer);
            QThread::msleep(500);
            OVLOG_DEBUG() << "sig_detachMemory end";
            OVRestart::endProcess();
        },
        Qt::DirectConnection);

    OVLOG_DEBUG() << "Update.exe Current Version = " << kUpdaterVersion;
    OVLOG_DEBUG() << "args count = " << argc;
    for (int i = 0; i < argc; ++i)
        OVLOG_DEBUG() << "[" << i << "]:" << QString::fromLocal8Bit(argv[i]);

    if (commandLine.handsOverVersions()) handOver(commandLine, offer);
    if (commandLine.directUpgrade()) {
        OVLOG_DEBUG() << "【直接升级】 argc=" << argc << ",argv[4]=" << commandLine.at(4);
        offer.on_btConfirm_clicked();
    } else {
        OVLOG_DEBUG() << "【升级弹窗】 show";
        offer.show();
    }
    const int status = app.exec();
    instance.release();
    return status;
}
