#include "CFrameQueue.h"

namespace camsim {

CFrameQueue::CFrameQueue(std::size_t maxBytes) : m_maxBytes(maxBytes) {}

void CFrameQueue::OnFrame(const std::shared_ptr<const CEncodedFrame>& frame) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_waitingForKey && !frame->IsKey()) {
            ++m_dropped;
            return;
        }
        m_waitingForKey = false;
        if (m_bytes + frame->Size() > m_maxBytes && !m_frames.empty()) {
            // The reader is too slow: a gap it can decode past beats unbounded memory.
            m_dropped += m_frames.size();
            m_frames.clear();
            m_bytes = 0;
            if (!frame->IsKey()) {
                m_waitingForKey = true;
                ++m_dropped;
                return;
            }
        }
        m_frames.push_back(frame);
        m_bytes += frame->Size();
    }
    m_available.notify_one();
}

std::shared_ptr<const CEncodedFrame> CFrameQueue::Pop(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_available.wait_for(lock, timeout, [this] { return !m_frames.empty(); })) return nullptr;
    auto frame = std::move(m_frames.front());
    m_frames.pop_front();
    m_bytes -= frame->Size();
    return frame;
}

std::size_t CFrameQueue::DroppedFrames() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

}  // namespace camsim
