#pragma once

#include <QMainWindow>
#include <QString>

#include "windows/OVWindowDrag.h"

namespace Ui {
class OVDlgUpdate;
}

// The offer window: the offered and installed versions, the release notes,
// update later or now.
class OVDlgUpdate : public QMainWindow {
    Q_OBJECT
public:
    explicit OVDlgUpdate(QWidget* parent = nullptr);
    ~OVDlgUpdate() override;

    void setAppPath(const QString& path) { appPath = path; }
    void setRemoteVersion(const QString& version);
    void setLocalVersion(const QString& version);
    void setUpdateContent(const QString& content);

signals:
    void sig_detachMemory(QString qreVer);

public slots:
    void on_btCancel_clicked();
    void on_btConfirm_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rewriteAskTips();

    Ui::OVDlgUpdate* ui;
    QString appPath;
    QString remoteVersion;
    QString localVersion;
    QString updateContent;
    OVWindowDrag drag;
};
