// update-window-shots OUTDIR: renders the offer window, the progress window
// during installation and the failure dialog into OUTDIR/*.png.
#include <QApplication>
#include <QDir>
#include <QWidget>
#include <cstdio>

#include "windows/OVDlgUpdate.h"
#include "windows/OVDlgUpdating.h"
#include "windows/OVDlgUpgradeFinish.h"

namespace {

bool save(QWidget& window, const QString& file) {
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: update-window-shots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());

    OVDlgUpdate offer;
    offer.setRemoteVersion("2.0.1");
    offer.setLocalVersion("2.0.0");
    offer.setUpdateContent(
        "<p><b>新功能</b></p><ul><li>绿幕抠像更干净</li><li>新增 3D LUT 调色</li></ul>");
    OVDlgUpdating progress;
    progress.setRemoteVersion("2.0.1");
    progress.on_dlProgressBack(37);
    OVDlgUpgradeFinish failure;
    failure.setRemoteVersion("2.0.1");

    const bool ok = save(offer, out.filePath("offer.png")) &&
                    save(progress, out.filePath("progress.png")) &&
                    save(failure, out.filePath("failure.png"));
    return ok ? 0 : 1;
}
