#pragma once

#include <QMainWindow>
#include <QString>

#include "windows/OVWindowDrag.h"

class QFrame;
class OVDlgUpgradeFinish;
class OVPackageInstaller;

namespace Ui {
class OVDlgUpdating;
}

// The progress window: download progress from the update service, then the
// installation of the package; a failed attempt dims it and shows the
// failure dialog.
class OVDlgUpdating : public QMainWindow {
    Q_OBJECT
public:
    explicit OVDlgUpdating(QWidget* parent = nullptr);
    ~OVDlgUpdating() override;

    void setAppPath(const QString& path) { appPath = path; }
    void setLocalVersion(const QString& version) { localVersion = version; }
    void setRemoteVersion(const QString& version);

    // The failure dialog once a failure showed it; for tests.
    OVDlgUpgradeFinish* failureDialog() const { return failDialog; }
    QFrame* dimmingOverlay() const { return overlay; }

signals:
    void sig_detachMemory(QString qreVer);
    void sigRetry();

public slots:
    void on_dlProgressBack(int progress);
    void on_dlFinishedBack(int state, QString fileName);
    void on_retryUpdate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void showFailure();
    void install(const QString& fileName);

    Ui::OVDlgUpdating* ui;
    QString appPath;
    QString localVersion;
    QString remoteVersion;
    OVWindowDrag drag;
    QFrame* overlay = nullptr;
    OVDlgUpgradeFinish* failDialog = nullptr;
    OVPackageInstaller* installer = nullptr;
};
