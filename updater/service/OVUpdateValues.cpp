#include "service/OVUpdateValues.h"

#include <cmath>

int32_t versionValue(const QString& version) {
    QString digits = version;
    digits.remove(u'.').remove(u'v');
    bool ok = false;
    const int value = digits.toInt(&ok);
    return ok ? value : 0;
}

int wholePercent(double percent) {
    if (std::isnan(percent) || percent <= 0) return 0;
    if (percent >= 100) return 100;
    return static_cast<int>(percent);
}
