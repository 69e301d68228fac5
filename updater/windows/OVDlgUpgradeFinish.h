#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class OVDlgUpgradeFinish;
}

// The failure dialog, shown modally over the progress window when an update
// attempt fails: retry, or update later (restart the main application).
class OVDlgUpgradeFinish : public QDialog {
    Q_OBJECT
public:
    explicit OVDlgUpgradeFinish(QWidget* parent = nullptr);
    ~OVDlgUpgradeFinish() override;

    void setAppPath(const QString& path) { appPath = path; }
    void setRemoteVersion(const QString& version);

    // Escape rejects the dialog; that is read as "update later", so that the
    // user is never left with a dimmed window and nothing running.
    void reject() override;

signals:
    void sigRetry();

private slots:
    void on_btExit_clicked();
    void on_btRetry_clicked();

private:
    Ui::OVDlgUpgradeFinish* ui;
    QString appPath;
    QString remoteVersion;
};
