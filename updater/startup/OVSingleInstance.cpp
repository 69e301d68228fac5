#include "startup/OVSingleInstance.h"

#include "logging/OVLogging.h"

OVSingleInstance::OVSingleInstance() {
    mSharedMemory.emplace(QStringLiteral("PezaLumideskUpdate_SharedMemory"));
    mSemaphore.emplace(QStringLiteral("PezaLumideskUpdate_Semaphore"), 1, QSystemSemaphore::Open);
}

void OVSingleInstance::close() {
    mSharedMemory.reset();
    mSemaphore.reset();
}

void OVSingleInstance::clearStaleSegment() {
#ifndef Q_OS_WIN
    if (mSharedMemory->attach(QSharedMemory::ReadWrite)) mSharedMemory->detach();
#endif
}

bool OVSingleInstance::anotherInstanceAttached() {
    if (!mSharedMemory->attach(QSharedMemory::ReadWrite)) return false;
    OVLOG_DEBUG() << "sharedMem attach failed";
    return true;
}

OVSingleInstance::Claim OVSingleInstance::claim() {
    clearStaleSegment();
    if (anotherInstanceAttached()) return Claim::AlreadyRunning;
    bool created = mSharedMemory->create(4, QSharedMemory::ReadWrite);
#ifndef Q_OS_WIN
    // The stale segment can also be reached only through a key file that
    // create() has just made again.
    if (!created && mSharedMemory->error() == QSharedMemory::AlreadyExists) {
        clearStaleSegment();
        if (anotherInstanceAttached()) return Claim::AlreadyRunning;
        created = mSharedMemory->create(4, QSharedMemory::ReadWrite);
    }
#endif
    if (!created) {
        OVLOG_DEBUG() << "sharedMem create failed";
        return Claim::CreateFailed;
    }
    if (!mSemaphore->acquire()) {
        OVLOG_DEBUG() << "semaphore acquire failed";
        return Claim::AcquireFailed;
    }
    return Claim::Claimed;
}

void OVSingleInstance::release() {
    if (!mSharedMemory || !mSemaphore) return;
    mSharedMemory->detach();
    mSemaphore->release();
    if (mSharedMemory->isAttached()) {
        OVLOG_DEBUG() << "sharedMem detach again";
        mSharedMemory->detach();
        mSemaphore->release();
    }
}
