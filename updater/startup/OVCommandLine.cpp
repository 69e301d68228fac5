#include "startup/OVCommandLine.h"

namespace {
const QString kUpgrade = QStringLiteral("upgrade");
}

OVCommandLine OVCommandLine::fromArgv(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return OVCommandLine(arguments);
}

OVCommandLine::OVCommandLine(const QStringList& arguments) : mArguments(arguments) {}

QString OVCommandLine::at(int position) const {
    return position >= 1 && position <= mArguments.size() ? mArguments.at(position - 1) : QString();
}

bool OVCommandLine::notesFromSettings() const { return mArguments.size() < 4 || at(4) == kUpgrade; }

bool OVCommandLine::directUpgrade() const { return mArguments.size() == 4 && at(4) == kUpgrade; }
