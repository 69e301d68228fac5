#pragma once

#include <QString>
#include <QStringList>

// What the main application passes to Update: its own path, the offered
// version, the installed version, and "upgrade" or the release notes.
struct OVCommandLine {
    // The arguments after the program, decoded from the local 8-bit encoding.
    static OVCommandLine fromArgv(int argc, char** argv);
    explicit OVCommandLine(const QStringList& arguments);

    // More than one argument: the positions are handed to the offer window.
    bool handsOverVersions() const { return mArguments.size() > 1; }
    // Position 1..4; a null text when missing.
    QString at(int position) const;
    QString appPath() const { return at(1); }
    QString remoteVersion() const { return at(2); }
    QString localVersion() const { return at(3); }
    // Position 4 holds the notes unless it is missing or "upgrade"; the notes
    // then come from update/content.
    bool notesFromSettings() const;
    // Exactly four arguments, the last "upgrade" (case-sensitive).
    bool directUpgrade() const;

    const QStringList& arguments() const { return mArguments; }

private:
    QStringList mArguments;
};
