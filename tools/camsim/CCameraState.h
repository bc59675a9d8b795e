#pragma once

#include "CCamSimOptions.h"
#include "CPtzHead.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace camsim {

// What the control API reports about one channel's head.
struct SPtzSnapshot {
    SPtzPosition position;
    std::vector<std::optional<SPtzPreset>> presets;
    std::string lastCommand;  // query text of the last accepted "/SetPTZ.cgi" request
    int commandCount = 0;
};

// The camera's changeable state: per-channel video settings and PTZ heads, and the GPIO lines.
// Shared by the web server threads, the RTSP thread and the control API; one mutex guards it.
class CCameraState {
public:
    using VideoListener = std::function<void(int channel)>;

    explicit CCameraState(SCamSimOptions options);

    const SCamSimOptions& Options() const { return m_options; }
    int Channels() const { return m_options.channels; }

    SVideoSettings Video(int channel) const;
    void SetVideo(int channel, const SVideoSettings& settings);
    // Called (outside the lock) after a channel's video settings changed.
    void SetVideoListener(VideoListener listener);

    // Runs f(head) under the state lock; f must not call out of the simulator.
    template <typename F>
    auto WithPtz(int channel, F&& f) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return f(m_heads.at(static_cast<std::size_t>(channel)));
    }
    void NotePtzCommand(int channel, const std::string& query);
    SPtzSnapshot Ptz(int channel) const;

    // GPIO lines are numbered from 1 as on the camera's pages; false for a line that does not exist.
    bool SetInput(int number, bool active);
    bool SetOutput(int number, bool active);
    std::vector<bool> Inputs() const;
    std::vector<bool> Outputs() const;

    // Back to the state the camera was started in.
    void Reset();

private:
    void ResetLocked();

    const SCamSimOptions m_options;
    mutable std::mutex m_mutex;  // guards everything below
    std::vector<SVideoSettings> m_video;
    std::vector<CPtzHead> m_heads;
    std::vector<std::string> m_lastPtzCommand;
    std::vector<int> m_ptzCommandCount;
    std::vector<bool> m_inputs;
    std::vector<bool> m_outputs;
    VideoListener m_videoListener;
};

}  // namespace camsim
