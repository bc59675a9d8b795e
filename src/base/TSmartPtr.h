// The reference-counted handle for objects that several owners share: the UDP
// client of an RTP receiver, the camera description of a capability query,
// the preset storage of a device.
#pragma once

#include <atomic>
#include <cstdint>

namespace talvex {

template <typename T>
class TSmartPtr {
public:
    TSmartPtr() = default;
    explicit TSmartPtr(T* object) { Assign(object); }
    TSmartPtr(const TSmartPtr& other) { CopyFrom(other); }
    TSmartPtr& operator=(const TSmartPtr& other) {
        if (this != &other) {
            // Take the new reference before dropping the old one, so that a
            // handle assigned from a copy of itself never frees the object.
            TSmartPtr keep(other);
            Release();
            CopyFrom(keep);
        }
        return *this;
    }
    TSmartPtr& operator=(T* object) {
        Assign(object);
        return *this;
    }
    virtual ~TSmartPtr() { Release(); }

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // The number of handles sharing the object; 0 for an empty handle.
    int32_t UseCount() const { return m_count == nullptr ? 0 : m_count->load(std::memory_order_acquire); }

private:
    void Assign(T* object) {
        Release();
        if (object == nullptr) return;
        m_count = new std::atomic<int32_t>(1);
        m_object = object;
    }

    void CopyFrom(const TSmartPtr& other) {
        if (other.m_count == nullptr || other.m_object == nullptr) return;
        // Handles are copied by the threads that share the object (channels,
        // preset lists, the capability thread), so the count is atomic.
        int32_t count = other.m_count->load(std::memory_order_relaxed);
        while (count > 0 && !other.m_count->compare_exchange_weak(count, count + 1, std::memory_order_acq_rel)) {
        }
        if (count <= 0) return;
        m_count = other.m_count;
        m_object = other.m_object;
    }

    void Release() {
        std::atomic<int32_t>* count = m_count;
        T* object = m_object;
        m_count = nullptr;
        m_object = nullptr;
        if (count == nullptr) return;
        if (count->fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete object;
            delete count;
        }
    }

    std::atomic<int32_t>* m_count = nullptr;  // shared by every copy
    T* m_object = nullptr;
};

}  // namespace talvex
