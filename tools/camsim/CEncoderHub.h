#pragma once

#include "CEncoder.h"
#include "CH264FileLoop.h"

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
    // With an H.264 file, every channel set to H.264 streams that file instead of encoding.
    CEncoderHub(const CFaultState& faults, bool shared, std::string h264File = {}, bool h264Lockstep = false);

    // Nothing when the encoder cannot run with these settings.
    std::shared_ptr<CEncoder> Acquire(int channel, const SVideoSettings& settings, std::string& error);
    // The H.264 file for an H.264 channel when one is given, otherwise an encoder as Acquire.
    std::shared_ptr<IFrameSource> AcquireSource(int channel, const SVideoSettings& settings, std::string& error);
    // Reads the H.264 file, if any, so that a bad one is reported before the camera serves.
    bool Prepare(std::string& error);

private:
    std::string Key(int channel, const SVideoSettings& settings) const;

    const CFaultState& m_faults;
    const bool m_shared;
    const std::string m_h264File;
    const bool m_h264Lockstep;
    std::mutex m_mutex;  // guards the members below
    std::map<std::string, std::weak_ptr<CEncoder>> m_encoders;
    std::shared_ptr<CH264FileLoop> m_fileLoop;  // read once, kept for the camera's life
};

}  // namespace camsim
