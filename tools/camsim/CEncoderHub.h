#pragma once

#include "CEncoder.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace camsim {

// Hands out running encoders. Normally each channel encodes its own pictures; in shared mode
// all channels with the same settings share one encoder, which keeps a many-channel video
// server cheap. An encoder runs while someone holds it and stops with its last holder.
class CEncoderHub {
public:
    CEncoderHub(const CFaultState& faults, bool shared);

    // Nothing when the encoder cannot run with these settings.
    std::shared_ptr<CEncoder> Acquire(int channel, const SVideoSettings& settings, std::string& error);

private:
    std::string Key(int channel, const SVideoSettings& settings) const;

    const CFaultState& m_faults;
    const bool m_shared;
    std::mutex m_mutex;  // guards m_encoders
    std::map<std::string, std::weak_ptr<CEncoder>> m_encoders;
};

}  // namespace camsim
