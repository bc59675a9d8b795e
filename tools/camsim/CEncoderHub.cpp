#include "CEncoderHub.h"

namespace camsim {

CEncoderHub::CEncoderHub(const CFaultState& faults, bool shared, std::string h264File, bool h264Lockstep)
    : m_faults(faults), m_shared(shared), m_h264File(std::move(h264File)), m_h264Lockstep(h264Lockstep) {}

bool CEncoderHub::Prepare(std::string& error) {
    if (m_h264File.empty()) return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fileLoop) return true;
    auto loop = std::make_shared<CH264FileLoop>(m_h264File, m_faults, m_h264Lockstep);
    if (!loop->Load(error)) return false;
    m_fileLoop = std::move(loop);
    return true;
}

std::shared_ptr<IFrameSource> CEncoderHub::AcquireSource(int channel, const SVideoSettings& settings,
                                                         std::string& error) {
    if (m_h264File.empty() || settings.codec != ECodec::H264) return Acquire(channel, settings, error);
    if (!Prepare(error)) return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fileLoop;
}

std::string CEncoderHub::Key(int channel, const SVideoSettings& s) const {
    std::string key = std::string(CodecName(s.codec)) + "/" + std::to_string(s.width) + "x" +
                      std::to_string(s.height) + "/" + std::to_string(s.fps) + "/" + std::to_string(s.vbr) +
                      "/" + std::to_string(s.jpegQuality);
    if (!m_shared) key += "/ch" + std::to_string(channel);
    return key;
}

std::shared_ptr<CEncoder> CEncoderHub::Acquire(int channel, const SVideoSettings& settings, std::string& error) {
    const std::string key = Key(channel, settings);
    std::lock_guard<std::mutex> lock(m_mutex);
    std::erase_if(m_encoders, [](const auto& entry) { return entry.second.expired(); });
    if (auto running = m_encoders[key].lock()) return running;
    auto encoder = std::make_shared<CEncoder>(settings, m_shared ? 0 : channel, m_faults);
    if (!encoder->Start(error)) return nullptr;
    m_encoders[key] = encoder;
    return encoder;
}

}  // namespace camsim
