#pragma once

#include <QSharedMemory>
#include <QSystemSemaphore>
#include <optional>

// Makes sure one Update runs at a time: a 4-byte shared memory segment
// "PezaLumideskUpdate_SharedMemory" that a second instance can attach to,
// and the semaphore "PezaLumideskUpdate_Semaphore" held while running.
class OVSingleInstance {
public:
    enum class Claim { Claimed, AlreadyRunning, CreateFailed, AcquireFailed };

    OVSingleInstance();
    Claim claim();
    // Detaches from the segment and releases the semaphore (twice when the
    // segment still reports itself attached).
    void release();
    // Destroys both objects, as the process's end would (System V objects
    // outlive a process that does not): before an exit without destructors.
    void close();

private:
    // A Unix segment outlives a process that crashed while holding it; the
    // last detach removes it, while a live holder keeps it. True when there
    // was a segment to attach to.
    bool clearStaleSegment();
    // After a stale claim: the semaphore the crashed holder left is made
    // anew by this instance, so that it goes when this one ends.
    void takeOverStaleSemaphore();
    // Attaching succeeds only while another Update holds the segment.
    bool anotherInstanceAttached();

    std::optional<QSharedMemory> mSharedMemory;
    std::optional<QSystemSemaphore> mSemaphore;
};
