#include "service/OVUpdateValues.h"

#include <QList>
#include <algorithm>
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

namespace {

std::optional<QList<qulonglong>> versionFields(QString text) {
    if (text.startsWith(u'v') || text.startsWith(u'V')) text.remove(0, 1);
    QList<qulonglong> fields;
    for (const QString& part : text.split(u'.')) {
        bool ok = false;
        const qulonglong field = part.toULongLong(&ok);
        // Digits only: no signs, blanks or empty fields.
        if (!ok || part.isEmpty() || part.front() == u'+' || part.trimmed() != part)
            return std::nullopt;
        fields << field;
    }
    return fields;
}

}  // namespace

std::optional<int> compareVersions(const QString& a, const QString& b) {
    const auto left = versionFields(a);
    const auto right = versionFields(b);
    if (!left || !right) return std::nullopt;
    for (qsizetype i = 0; i < std::max(left->size(), right->size()); ++i) {
        const qulonglong l = i < left->size() ? left->at(i) : 0;
        const qulonglong r = i < right->size() ? right->at(i) : 0;
        if (l != r) return l < r ? -1 : 1;
    }
    return 0;
}
