#include "startup/OVSingleInstance.h"

#include "logging/OVLogging.h"

namespace {
const char kSemaphoreKey[] = "PezaLumideskUpdate_Semaphore";
}

OVSingleInstance::OVSingleInstance() {
    mSharedMemory.emplace(QStringLiteral("PezaLumideskUpdate_SharedMemory"));
    mSemaphore.emplace(QLatin1String(kSemaphoreKey), 1, QSystemSemaphore::Open);
}

void OVSingleInstance::close() {
    mSharedMemory.reset();
    mSemaphore.reset();
}

bool OVSingleInstance::clearStaleSegment() {
#ifndef Q_OS_WIN
    if (mSharedMemory->attach(QSharedMemory::ReadWrite)) {
        mSharedMemory->detach();
        return true;
    }
#endif
    return false;
}

void OVSingleInstance::takeOverStaleSemaphore() {
    // Opened, the semaphore of a killed Update would outlive this run too;
    // created anew, it is this run's and goes with it.
    OVLOG_DEBUG() << "a stale claim: the semaphore is made anew";
    mSemaphore->setKey(QLatin1String(kSemaphoreKey), 1, QSystemSemaphore::Create);
}

bool OVSingleInstance::anotherInstanceAttached() {
    if (!mSharedMemory->attach(QSharedMemory::ReadWrite)) return false;
    OVLOG_DEBUG() << "sharedMem attach failed";
    return true;
}

OVSingleInstance::Claim OVSingleInstance::claim() {
    bool stale = clearStaleSegment();
    if (anotherInstanceAttached()) return Claim::AlreadyRunning;
    bool created = mSharedMemory->create(4, QSharedMemory::ReadWrite);
#ifndef Q_OS_WIN
    // The stale segment can also be reached only through a key file that
    // create() has just made again.
    if (!created && mSharedMemory->error() == QSharedMemory::AlreadyExists) {
        stale = clearStaleSegment() || stale;
        if (anotherInstanceAttached()) return Claim::AlreadyRunning;
        created = mSharedMemory->create(4, QSharedMemory::ReadWrite);
    }
#endif
    if (stale && created) takeOverStaleSemaphore();
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
