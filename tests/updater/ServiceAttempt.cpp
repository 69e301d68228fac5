#include "ServiceAttempt.h"

#include <QObject>

#include "QtTestApp.h"
#include "service/OVUpdateService.h"

namespace updatertest {

AttemptOutcome runAttempt(const QString& softCode, const QString& version) {
    OVUpdateService& service = *OVUpdateService::instance();
    // No installation here: the checked copy goes into the sandbox.
    service.setPackageCopyFolder(studioFolder() + "package-copy");
    AttemptOutcome outcome;
    QObject receiver;
    QObject::connect(&service, &OVUpdateService::sigDownloadProgressBack, &receiver,
                     [&outcome](int progress) { outcome.progress.push_back(progress); });
    QObject::connect(&service, &OVUpdateService::sigDownloadFinishBack, &receiver,
                     [&outcome](int code, const QString& fileName) {
                         outcome.code = code;
                         outcome.fileName = fileName;
                         outcome.finished = true;
                         ++outcome.finishCount;
                     });
    service.checkUpdateAndDownload(softCode, version);
    outcome.finished = processEventsUntil([&outcome] { return outcome.finished; }, 90000);
    // Nothing else may arrive for this attempt.
    processEventsUntil([] { return false; }, 200);
    return outcome;
}

}  // namespace updatertest
