#include "thread/CTime.h"

#include "platform/PlatformTime.h"

namespace talvex {

namespace {

uint64_t Now() {
    uint64_t fileTime = 0;
    if (!platform::SystemTimeToFileTime(platform::SystemTimeNow(), fileTime)) return 0;
    return fileTime;
}

}  // namespace

CTime::CTime() : m_fileTime(Now()) {}

void CTime::Touch() {
    const uint64_t now = Now();
    CLockHolder hold(m_lock);
    m_fileTime = now;
}

uint64_t CTime::ElapsedMs() {
    const uint64_t now = Now();
    CLockHolder hold(m_lock);
    return now > m_fileTime ? (now - m_fileTime) / 10000 : 0;
}

uint64_t CTime::FileTime() {
    CLockHolder hold(m_lock);
    return m_fileTime;
}

}  // namespace talvex
