#pragma once

#include <QByteArray>
#include <QString>

// Interprets the archiver's standard output, one ready-read chunk at a time.
// A chunk whose first "%" has two characters before it is a progress report;
// a chunk without one is searched for the end texts. Everything read is kept,
// so that an end text that came in a chunk with a "%" (7-Zip prints its last
// percentage, backspaces and "Everything is Ok" in one burst) is still found
// when the process ends. Whether the extraction succeeded is decided then,
// from the whole output and the exit code.
class OVUnzipOutputReader {
public:
    // Bytes taken from the process per notification; the rest waits for the
    // next one.
    static constexpr qint64 kChunkBytes = 1024;

    enum class Kind { Nothing, Progress, Ended };
    struct Step {
        Kind kind = Kind::Nothing;
        int progress = 0;
        QString label;  // the two characters before the "%", then "%"
        QString text;   // the chunk, decoded
    };

    Step read(const QByteArray& chunk);
    // True when the output read so far says "Everything is Ok" and nowhere
    // "Sub items Errors" (a file that could not be written).
    bool everythingOk() const;

private:
    QByteArray mAll;
};
