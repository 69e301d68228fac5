#include "service/OVUpdateValues.h"

#include <QList>
#include <QStringList>
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

struct ParsedVersion {
    QList<qulonglong> fields;
    QStringList preRelease;  // empty for a release
};

bool isAsciiDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// Dot-separated, non-empty identifiers of [0-9A-Za-z-].
bool identifiersOf(const QString& text, QStringList& identifiers) {
    identifiers = text.split(u'.');
    return std::all_of(identifiers.begin(), identifiers.end(), [](const QString& identifier) {
        return !identifier.isEmpty() &&
               std::all_of(identifier.begin(), identifier.end(), [](QChar c) {
                   return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
                          (c >= u'A' && c <= u'Z') || c == u'-';
               });
    });
}

std::optional<ParsedVersion> parseVersion(QString text) {
    if (text.startsWith(u'v') || text.startsWith(u'V')) text.remove(0, 1);
    QStringList ignored;
    const qsizetype plus = text.indexOf(u'+');
    if (plus >= 0) {
        if (!identifiersOf(text.mid(plus + 1), ignored)) return std::nullopt;
        text.truncate(plus);
    }
    ParsedVersion version;
    const qsizetype dash = text.indexOf(u'-');
    if (dash >= 0) {
        if (!identifiersOf(text.mid(dash + 1), version.preRelease)) return std::nullopt;
        text.truncate(dash);
    }
    for (const QString& part : text.split(u'.')) {
        bool ok = false;
        const qulonglong field = part.toULongLong(&ok);
        if (!ok || !isAsciiDigits(part)) return std::nullopt;
        version.fields << field;
    }
    return version;
}

int compareIdentifiers(const QString& a, const QString& b) {
    const bool aNumeric = isAsciiDigits(a), bNumeric = isAsciiDigits(b);
    if (aNumeric && bNumeric) {
        const qulonglong l = a.toULongLong(), r = b.toULongLong();
        return l == r ? 0 : (l < r ? -1 : 1);
    }
    if (aNumeric != bNumeric) return aNumeric ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace

std::optional<int> compareVersions(const QString& a, const QString& b) {
    const auto left = parseVersion(a);
    const auto right = parseVersion(b);
    if (!left || !right) return std::nullopt;
    for (qsizetype i = 0; i < std::max(left->fields.size(), right->fields.size()); ++i) {
        const qulonglong l = i < left->fields.size() ? left->fields.at(i) : 0;
        const qulonglong r = i < right->fields.size() ? right->fields.at(i) : 0;
        if (l != r) return l < r ? -1 : 1;
    }
    // A pre-release comes before its release.
    const QStringList& lp = left->preRelease;
    const QStringList& rp = right->preRelease;
    if (lp.isEmpty() || rp.isEmpty()) return int(lp.isEmpty()) - int(rp.isEmpty());
    for (qsizetype i = 0; i < std::min(lp.size(), rp.size()); ++i) {
        if (const int order = compareIdentifiers(lp.at(i), rp.at(i))) return order;
    }
    return lp.size() == rp.size() ? 0 : (lp.size() < rp.size() ? -1 : 1);
}

bool acceptableVersionName(const QString& name) {
    constexpr qsizetype kMaxVersionName = 64;
    return name.size() <= kMaxVersionName && parseVersion(name).has_value();
}
