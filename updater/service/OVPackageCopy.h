#pragma once

#include <QByteArray>
#include <QString>

// The copy of a downloaded package that the installation extracts: made in
// a folder the user cannot write, with the digests of the bytes written, so
// that what was checked is what is installed even when the downloaded file
// is replaced afterwards.
struct OVPackageCopy {
    bool made = false;
    QString error;  // why not made
    qint64 size = 0;
    QByteArray md5Hex;     // lower case
    QByteArray sha256Hex;  // lower case
};

// Copies source into a new file at target, made here (a file already there
// goes first), computing MD5 and SHA-256 over the bytes written.
OVPackageCopy copyPackage(const QString& source, const QString& target);
