#pragma once

#include "CFaultState.h"
#include "IFrameSource.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace camsim {

// A recorded H.264 byte stream served over and over at its own frame rate, so that many
// streams cost the camera no encoding at all. The file is split into access units once; one
// pacing thread hands the shared pictures to every subscriber. Each subscriber plays the file
// from its first (key) picture on from the moment it subscribes, on a picture clock of its
// own that starts then, as separate cameras would: a new session starts at once, and neither
// the pictures nor the key pictures of many streams come at the same instant. The
// receiving pipelines stamp each picture as it arrives, so RTP time stamps and sequence
// numbers run on across the end of the file as if the camera had never stopped. While sending
// is paused no picture goes out; afterwards every subscriber starts again at the first picture.
class CH264FileLoop : public IFrameSource {
public:
    // lockstep: every subscriber on one picture clock, all pictures at the same instant.
    CH264FileLoop(std::string path, const CFaultState& faults, bool lockstep = false);
    ~CH264FileLoop() override;
    CH264FileLoop(const CH264FileLoop&) = delete;
    CH264FileLoop& operator=(const CH264FileLoop&) = delete;

    // Reads the file; false with a message when it holds no key picture to start from.
    bool Load(std::string& error);

    GstCaps* WaitForCaps(std::chrono::milliseconds timeout) override;
    void Subscribe(const std::shared_ptr<IFrameSubscriber>& subscriber) override;
    void Unsubscribe(const IFrameSubscriber* subscriber) override;

    std::size_t Pictures() const { return m_pictures.size(); }
    int Fps() const { return m_fpsNumerator / m_fpsDenominator; }

private:
    using Clock = std::chrono::steady_clock;
    struct SSubscriber {
        std::weak_ptr<IFrameSubscriber> sink;
        const IFrameSubscriber* id = nullptr;
        std::size_t next = 0;  // the subscriber's next picture
        Clock::time_point due;  // when that picture goes out
        bool restart = false;   // a pause was seen: start again at the key picture
    };

    Clock::time_point FirstDue(Clock::time_point now) const;
    Clock::duration Period() const;
    void Run();
    // Sends every picture that is due; returns when the next one is.
    Clock::time_point Deliver(Clock::time_point now);

    const std::string m_path;
    const CFaultState& m_faults;
    const bool m_lockstep;
    const std::chrono::steady_clock::time_point m_epoch;  // the shared clock's origin
    // Filled by Load, read-only afterwards.
    std::vector<std::shared_ptr<const CEncodedFrame>> m_pictures;
    GstCaps* m_caps = nullptr;
    int m_fpsNumerator = 25;
    int m_fpsDenominator = 1;

    std::mutex m_mutex;  // guards the members below
    std::condition_variable m_wake;
    std::vector<SSubscriber> m_subscribers;
    bool m_stopping = false;
    uint64_t m_subscriptions = 0;  // counts Subscribe calls, to wake the pacing thread
    std::thread m_thread;      // runs while the loop exists, from the first Subscribe
};

}  // namespace camsim
