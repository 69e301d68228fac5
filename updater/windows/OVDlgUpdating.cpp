#include "windows/OVDlgUpdating.h"

#include <QCoreApplication>
#include <QFrame>
#include <QMouseEvent>

#include "install/OVPackageInstaller.h"
#include "logging/OVLogging.h"
#include "service/OVUpdateService.h"
#include "ui_OVDlgUpdating.h"
#include "windows/OVDlgUpgradeFinish.h"
#include "windows/OVFramelessWindow.h"
#include "windows/OVRestart.h"

OVDlgUpdating::OVDlgUpdating(QWidget* parent) : QMainWindow(parent), ui(new Ui::OVDlgUpdating) {
    ui->setupUi(this);
    makeTranslucent(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->lbTips->setText(QStringLiteral("下载中,请保持网络连接"));
    OVUpdateService* service = OVUpdateService::instance();
    connect(service, &OVUpdateService::sigDownloadProgressBack, this,
            &OVDlgUpdating::on_dlProgressBack);
    connect(service, &OVUpdateService::sigDownloadFinishBack, this,
            &OVDlgUpdating::on_dlFinishedBack);
}

OVDlgUpdating::~OVDlgUpdating() { delete ui; }

void OVDlgUpdating::setRemoteVersion(const QString& version) {
    remoteVersion = version;
    ui->labVersion->setText(QStringLiteral("软件更新V") + version);
}

void OVDlgUpdating::on_dlProgressBack(int progress) {
    ui->progressBar->setValue(progress);
    ui->label->setText(QString::number(progress) + QLatin1Char('%'));
    ui->lbTips->setText(QStringLiteral("下载中,请保持网络连接"));
}

void OVDlgUpdating::on_dlFinishedBack(int state, QString fileName) {
    OVLOG_DEBUG() << "on_dlFinishedBack============" << fileName << ",state===" << state;
    OVUpdateService::instance()->setSetupProgress(-1);
    if (state != 0)
        showFailure();
    else
        install(fileName);
}

void OVDlgUpdating::showFailure() {
    if (!overlay) overlay = new QFrame(this);
    overlay->setStyleSheet(QStringLiteral("background: rgba(0,0,0, 125);border-radius:15px;"));
    overlay->setFixedSize(size());
    overlay->raise();
    overlay->show();
    if (!failDialog) {
        failDialog = new OVDlgUpgradeFinish(this);
        failDialog->setRemoteVersion(remoteVersion);
        failDialog->setAppPath(appPath);
        connect(failDialog, &OVDlgUpgradeFinish::sigRetry, this, &OVDlgUpdating::on_retryUpdate);
    }
    failDialog->move(x() + width() / 2 - failDialog->width() / 2,
                     y() + height() / 2 - failDialog->height() / 2);
    failDialog->exec();
}

void OVDlgUpdating::install(const QString& fileName) {
    ui->label->setText(QStringLiteral("0%"));
    ui->progressBar->setValue(0);
    ui->lbTips->setText(QStringLiteral("安装中,请保持网络连接"));
    OVUpdateService* service = OVUpdateService::instance();
    // The version the download-address answer names is the one installed.
    const QString offered = service->remoteVersion();
    const QString version = offered.isEmpty() ? remoteVersion : offered;
    if (version != remoteVersion) {
        OVLOG_DEBUG() << "installing version" << version << "instead of" << remoteVersion;
    }
    installer = new OVPackageInstaller(*service, this);
    installer->setStagedByDelta(service->deltaStaged());
    connect(installer, &OVPackageInstaller::sigProgress, this,
            [this](int value, const QString& label) {
                ui->progressBar->setValue(value);
                ui->label->setText(label);
            });
    connect(installer, &OVPackageInstaller::sigInstallEnded, this, [this, version](bool installed) {
        if (installed) {
            if (version != remoteVersion) OVUpdateService::instance()->setRemoteVer(version);
            OVLOG_DEBUG() << "start peza studio=" << appPath;
        }
        // The main application restarts on the version that is installed:
        // after a failed install, still the local one as it was given.
        emit sig_detachMemory(installed ? version : localVersion);
    });
    // Never start the main application on a tree that could not be restored.
    connect(installer, &OVPackageInstaller::sigInstallationBroken, this,
            [] { OVRestart::endProcess(); });
    installer->start(service->storeDir() + fileName, QCoreApplication::applicationDirPath(),
                     version);
}

void OVDlgUpdating::on_retryUpdate() {
    if (overlay) overlay->hide();
    OVUpdateService::instance()->checkUpdateAndDownload(QStringLiteral("LUMI_DESK"), localVersion);
}

void OVDlgUpdating::mousePressEvent(QMouseEvent* event) {
    drag.press(event->position().toPoint(), true);
}

void OVDlgUpdating::mouseMoveEvent(QMouseEvent* event) {
    drag.move(this, event->position().toPoint());
}

void OVDlgUpdating::mouseReleaseEvent(QMouseEvent*) { drag.release(); }
