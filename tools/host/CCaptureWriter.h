// One input's frame sink: writes each picture to its file (or only counts
// it, for --discard) and keeps the figures of the summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "wrenfield/Media.h"

namespace wfhost {

struct SInputStats {
    uint64_t pictures = 0;
    uint64_t keyPictures = 0;
    uint64_t bytes = 0;
    uint64_t gaps = 0;  // capture-time steps longer than the gap limit
    int64_t longestStepMs = 0;
    uint64_t signalLosses = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    int64_t firstTimeMs = 0;
    int64_t lastTimeMs = 0;
};

class CCaptureWriter final : public talvex::ipcapture::IHostFrameSink {
public:
    // frameIntervalMs: the interval asked of the camera; a step between two
    // capture times over three of them (and at least 300 ms) counts as a gap.
    explicit CCaptureWriter(uint32_t frameIntervalMs);
    ~CCaptureWriter() override;
    CCaptureWriter(const CCaptureWriter&) = delete;
    CCaptureWriter& operator=(const CCaptureWriter&) = delete;

    // Empty path: pictures are counted and dropped.
    bool Open(const std::string& path);
    // Pictures after the first limit ones are let go unwritten and uncounted (0: no limit).
    void SetPictureLimit(uint64_t limit) { m_limit = limit; }
    void Close();
    // From now on pictures are let go unwritten and nothing more is counted:
    // called before the input is stopped, so that the stop's own signal
    // loss and late pictures stay out of a summary that must match the file.
    void Seal();

    bool OnFrame(talvex::ipcapture::IHostMediaSample* sample) override;
    void OnSignalLost() override;

    // Counts one picture; the part of OnFrame that needs no sample object.
    void Count(uint32_t fourcc, std::size_t size, uint32_t width, uint32_t height, int64_t timeMs);
    SInputStats Stats() const;
    int64_t GapLimitMs() const { return m_gapLimitMs; }
    bool WriteFailed() const;

    // Pictures a decoder can start from: H.264 with its SPS, MPEG-4 I-VOPs and every JPEG.
    static bool IsKeyPicture(uint32_t fourcc);
    // The file name extension players know for the stream type.
    static const char* Extension(int32_t streamType);

private:
    void CountLocked(uint32_t fourcc, std::size_t size, uint32_t width, uint32_t height, int64_t timeMs);

    const int64_t m_gapLimitMs;
    uint64_t m_limit = 0;
    mutable std::mutex m_mutex;  // guards the file and the figures
    FILE* m_file = nullptr;
    bool m_writeFailed = false;
    bool m_sealed = false;
    SInputStats m_stats;
};

}  // namespace wfhost
