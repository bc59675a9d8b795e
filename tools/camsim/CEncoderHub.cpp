#include "CEncoderHub.h"

namespace camsim {

CEncoderHub::CEncoderHub(const CFaultState& faults, bool shared) : m_faults(faults), m_shared(shared) {}

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
