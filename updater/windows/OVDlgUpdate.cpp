#include "windows/OVDlgUpdate.h"

#include <QMouseEvent>

#include "logging/OVLogging.h"
#include "platform/OVDebugOutput.h"
#include "service/OVUpdateService.h"
#include "ui_OVDlgUpdate.h"
#include "windows/OVDlgUpdating.h"
#include "windows/OVFramelessWindow.h"

OVDlgUpdate::OVDlgUpdate(QWidget* parent) : QMainWindow(parent), ui(new Ui::OVDlgUpdate) {
    ui->setupUi(this);
    makeTranslucent(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ui->textBrowser->clear();
    ui->textBrowser->setEnabled(false);
}

OVDlgUpdate::~OVDlgUpdate() { delete ui; }

void OVDlgUpdate::setRemoteVersion(const QString& version) {
    remoteVersion = version;
    rewriteAskTips();
}

void OVDlgUpdate::setLocalVersion(const QString& version) {
    localVersion = version;
    rewriteAskTips();
}

void OVDlgUpdate::setUpdateContent(const QString& content) {
    updateContent = content;
    ui->textBrowser->setText(content);
}

void OVDlgUpdate::rewriteAskTips() {
    ui->lb_AskTips->setText(
        QStringLiteral("沛扎直播V%1版本可供下载,你现在的版本是V%2。要现在下载吗?")
            .arg(remoteVersion, localVersion));
}

void OVDlgUpdate::on_btCancel_clicked() { emit sig_detachMemory(remoteVersion); }

void OVDlgUpdate::on_btConfirm_clicked() {
    OVLOG_DEBUG() << "on_btConfirm_clicked invoke";
    hide();
    auto* updating = new OVDlgUpdating(this);
    updating->setAppPath(appPath);
    updating->setRemoteVersion(remoteVersion);
    updating->setLocalVersion(localVersion);
    OVUpdateService* service = OVUpdateService::instance();
    service->setLocalVer(localVersion);
    service->setRemoteVer(remoteVersion);
    connect(updating, &OVDlgUpdating::sig_detachMemory, this,
            [this](const QString& version) { emit sig_detachMemory(version); });
    service->checkUpdateAndDownload(QStringLiteral("LUMI_DESK"), localVersion);
    updating->show();
}

void OVDlgUpdate::mousePressEvent(QMouseEvent* event) {
    const QPoint local = event->position().toPoint();
    const QPoint press = pos() + local;
    bool onButton = false;
    for (const QWidget* button :
         {static_cast<QWidget*>(ui->btConfirm), static_cast<QWidget*>(ui->btCancel)}) {
        const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
        onButton = onButton || onScreen.contains(press);
    }
    const QPoint buttonPos = ui->btConfirm->mapToGlobal(QPoint(0, 0));
    OVLogging::platform::writeDebugOutput(QStringLiteral("pos=%1,%2,press=%3,%4\n")
                                              .arg(buttonPos.x())
                                              .arg(buttonPos.y())
                                              .arg(press.x())
                                              .arg(press.y())
                                              .toUtf8()
                                              .constData());
    drag.press(local, !onButton);
}

void OVDlgUpdate::mouseMoveEvent(QMouseEvent* event) {
    drag.move(this, event->position().toPoint());
}

void OVDlgUpdate::mouseReleaseEvent(QMouseEvent*) { drag.release(); }
