#include "install/OVUnzipOutputReader.h"

namespace {

const char* const kEndTexts[] = {"Everything is Ok", "Sub items Errors"};

template <typename Text>
bool holdsEndText(const Text& text) {
    for (const char* end : kEndTexts)
        if (text.contains(QLatin1String(end))) return true;
    return false;
}

}  // namespace

OVUnzipOutputReader::Step OVUnzipOutputReader::read(const QByteArray& chunk) {
    mAll += chunk;
    Step step;
    step.text = QString::fromUtf8(chunk);
    const qsizetype p = step.text.indexOf(QLatin1Char('%')) - 2;
    if (p >= 0) {
        const QString digits = step.text.mid(p, 2);
        step.kind = Kind::Progress;
        step.progress = digits.trimmed().toInt();
        step.label = digits + QLatin1Char('%');
    } else if (holdsEndText(step.text)) {
        step.kind = Kind::Ended;
    }
    return step;
}

bool OVUnzipOutputReader::everythingOk() const {
    const QString all = QString::fromUtf8(mAll);
    return all.contains(QLatin1String(kEndTexts[0])) && !all.contains(QLatin1String(kEndTexts[1]));
}
