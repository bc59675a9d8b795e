#include <process.h>

#include <new>

#include "platform/PlatformThread.h"
#include "wrenfield/Platform.h"

namespace talvex::platform {

namespace {

// What the new thread needs to call; it frees the block once it has read it.
struct SStartBlock {
    ThreadEntry entry;
    void* argument;
};

HANDLE ToNative(ThreadHandle thread) { return reinterpret_cast<HANDLE>(thread); }

unsigned __stdcall Trampoline(void* argument) {
    auto* block = static_cast<SStartBlock*>(argument);
    const ThreadEntry entry = block->entry;
    void* const entryArgument = block->argument;
    delete block;
    try {
        return entry(entryArgument);
    } catch (...) {
        // Nothing may escape a thread; the owner learns of the end through the wait.
        return 0;
    }
}

}  // namespace

bool StartThread(ThreadEntry entry, void* argument, ThreadHandle& handle, uint32_t& threadId) {
    handle = nullptr;
    threadId = 0;
    auto* block = new (std::nothrow) SStartBlock{entry, argument};
    if (block == nullptr) return false;
    unsigned nativeId = 0;
    // Suspended, so that handle and id are in the owner's hands before the
    // thread body can look at them.
    const uintptr_t native = _beginthreadex(nullptr, 0, &Trampoline, block, CREATE_SUSPENDED, &nativeId);
    if (native == 0 || native == static_cast<uintptr_t>(-1)) {
        delete block;
        return false;
    }
    handle = reinterpret_cast<ThreadHandle>(native);
    threadId = nativeId;
    if (::ResumeThread(ToNative(handle)) == static_cast<DWORD>(-1)) {
        // The thread never ran, so the block is still ours.
        ::TerminateThread(ToNative(handle), 0);
        ::CloseHandle(ToNative(handle));
        delete block;
        handle = nullptr;
        threadId = 0;
        return false;
    }
    return true;
}

EWaitResult WaitThread(ThreadHandle thread, uint32_t timeoutMs) {
    if (thread == nullptr) return EWaitResult::Failed;
    switch (::WaitForSingleObject(ToNative(thread), timeoutMs)) {
        case WAIT_OBJECT_0: return EWaitResult::Signalled;
        case WAIT_TIMEOUT: return EWaitResult::TimedOut;
        default: return EWaitResult::Failed;
    }
}

void TerminateThread(ThreadHandle thread) {
    if (thread == nullptr) return;
    ::TerminateThread(ToNative(thread), 0);
    // TerminateThread only asks; the thread is gone once its handle signals.
    // Its owner frees what the thread uses as soon as this returns.
    ::WaitForSingleObject(ToNative(thread), INFINITE);
}

void CloseThread(ThreadHandle thread) {
    if (thread != nullptr) ::CloseHandle(ToNative(thread));
}

uint32_t CurrentThreadId() { return ::GetCurrentThreadId(); }

uint32_t ProcessorCount() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1u;
}

void SleepMs(uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace talvex::platform
