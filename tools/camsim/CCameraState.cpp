#include "CCameraState.h"

namespace camsim {

CCameraState::CCameraState(SCamSimOptions options) : m_options(std::move(options)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ResetLocked();
}

void CCameraState::ResetLocked() {
    const auto channels = static_cast<std::size_t>(m_options.channels);
    m_video.assign(channels, m_options.video);
    m_heads.assign(channels, CPtzHead(m_options.ptzModel != 0 ? m_options.presets : 0));
    m_lastPtzCommand.assign(channels, std::string());
    m_ptzCommandCount.assign(channels, 0);
    m_inputs.assign(static_cast<std::size_t>(m_options.inputs), false);
    m_outputs.assign(static_cast<std::size_t>(m_options.outputs), false);
}

SVideoSettings CCameraState::Video(int channel) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_video.at(static_cast<std::size_t>(channel));
}

void CCameraState::SetVideo(int channel, const SVideoSettings& settings) {
    VideoListener listener;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_video.at(static_cast<std::size_t>(channel)) = settings;
        listener = m_videoListener;
    }
    if (listener) listener(channel);
}

void CCameraState::SetVideoListener(VideoListener listener) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_videoListener = std::move(listener);
}

void CCameraState::NotePtzCommand(int channel, const std::string& query) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lastPtzCommand.at(static_cast<std::size_t>(channel)) = query;
    ++m_ptzCommandCount.at(static_cast<std::size_t>(channel));
}

SPtzSnapshot CCameraState::Ptz(int channel) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto index = static_cast<std::size_t>(channel);
    const CPtzHead& head = m_heads.at(index);
    return SPtzSnapshot{head.Position(), head.Presets(), m_lastPtzCommand.at(index),
                        m_ptzCommandCount.at(index)};
}

bool CCameraState::SetInput(int number, bool active) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number < 1 || number > static_cast<int>(m_inputs.size())) return false;
    m_inputs[static_cast<std::size_t>(number - 1)] = active;
    return true;
}

bool CCameraState::SetOutput(int number, bool active) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number < 1 || number > static_cast<int>(m_outputs.size())) return false;
    m_outputs[static_cast<std::size_t>(number - 1)] = active;
    return true;
}

std::vector<bool> CCameraState::Inputs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_inputs;
}

std::vector<bool> CCameraState::Outputs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputs;
}

void CCameraState::Reset() {
    VideoListener listener;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ResetLocked();
        listener = m_videoListener;
    }
    if (listener)
        for (int channel = 0; channel < m_options.channels; ++channel) listener(channel);
}

}  // namespace camsim
