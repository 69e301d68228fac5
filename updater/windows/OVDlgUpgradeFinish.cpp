#include "windows/OVDlgUpgradeFinish.h"

#include "ui_OVDlgUpgradeFinish.h"
#include "windows/OVFramelessWindow.h"
#include "windows/OVRestart.h"

OVDlgUpgradeFinish::OVDlgUpgradeFinish(QWidget* parent)
    : QDialog(parent), ui(new Ui::OVDlgUpgradeFinish) {
    ui->setupUi(this);
    makeTranslucent(this);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(318, 145);
}

OVDlgUpgradeFinish::~OVDlgUpgradeFinish() { delete ui; }

void OVDlgUpgradeFinish::setRemoteVersion(const QString& version) {
    remoteVersion = version;
    ui->lbTitle->setText(QStringLiteral("软件更新V") + version);
}

void OVDlgUpgradeFinish::reject() { on_btExit_clicked(); }

void OVDlgUpgradeFinish::on_btExit_clicked() {
    OVRestart::startMainApplicationAndExit(appPath, remoteVersion);
}

void OVDlgUpgradeFinish::on_btRetry_clicked() {
    done(QDialog::Accepted);
    emit sigRetry();
}
