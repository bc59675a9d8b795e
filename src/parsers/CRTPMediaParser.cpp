#include "parsers/CRTPMediaParser.h"

#include "parsers/SampleSizes.h"

namespace talvex {

CRTPMediaParser::CRTPMediaParser(IDriver* driver, std::string sourceName)
    : m_driver(driver), m_sourceName(std::move(sourceName)) {}

CRTPMediaParser::~CRTPMediaParser() = default;

bool CRTPMediaParser::CheckSequence(const CRTPPacket& packet) {
    const uint16_t previous = m_lastSequence;
    m_lastSequence = packet.SequenceNumber();
    if (m_firstPacket) {
        m_firstPacket = false;
        return true;
    }
    // 16-bit arithmetic: 65535 is followed by 0. A duplicate or a late packet
    // breaks the run just as a lost one does.
    return packet.SequenceNumber() == static_cast<uint16_t>(previous + 1);
}

bool CRTPMediaParser::CheckBufferSize() {
    if (m_frameBuffer.size() <= kMaxFrameBytes) return true;
    if (m_driver != nullptr) {
        const DEVICE_INFO& device = m_driver->GetDeviceInfo();
        m_driver->DebugMessage(kLevelFailure, "%s: Frame buffer overflow detected, device %s:%u",
                               "talvex::CRTPMediaParser::CheckBufferSize", device.Address.c_str(),
                               static_cast<unsigned>(device.Port));
    }
    return false;
}

// Every call into the host is guarded: the host's trouble loses the picture
// at hand, never the receiver thread that feeds the depacketizer.
void CRTPMediaParser::ReportHostFailure() {
    if (m_driver == nullptr) return;
    try {
        const DEVICE_INFO& device = m_driver->GetDeviceInfo();
        const std::string label = device.Address + ":" + std::to_string(device.Port);
        m_driver->DebugMessage(kLevelFailure, "%s: The host failed to take a picture of %s; it was dropped",
                               "talvex::CRTPMediaParser::OfferSample", label.c_str());
    } catch (...) {
    }
}

ipcapture::IHostMediaSample* CRTPMediaParser::CreateSample(uint32_t fourcc, uint32_t bufferSize) {
    if (m_driver == nullptr || m_client == nullptr) return nullptr;
    ipcapture::IHostSampleAllocator* allocator = m_driver->GetSampleAllocator();
    if (allocator == nullptr) return nullptr;
    try {
        return allocator->CreateSample(fourcc, bufferSize, m_sourceName.c_str());
    } catch (...) {
        ReportHostFailure();
        return nullptr;
    }
}

uint8_t* CRTPMediaParser::BufferOf(ipcapture::IHostMediaSample* sample) {
    try {
        return sample->GetBuffer();
    } catch (...) {
        ReportHostFailure();
        return nullptr;
    }
}

bool CRTPMediaParser::OfferSample(ipcapture::IHostMediaSample* sample, uint32_t dataSize, uint32_t fourcc) {
    m_timeConverter.GetFrameTime(m_captureTime);
    try {
        sample->SetWidth(m_width);
        sample->SetHeight(m_height);
        sample->SetSizeClass(PictureSizeClass(m_width, m_height));
        sample->SetDataSize(dataSize);
        if (fourcc != 0) sample->SetFourCC(fourcc);
        sample->SetTime(&m_captureTime);
    } catch (...) {
        ReportHostFailure();
        return false;
    }
    return m_client->OnFrame(sample);
}

void CRTPMediaParser::ReleaseSample(ipcapture::IHostMediaSample* sample) {
    ipcapture::IHostSampleAllocator* allocator = m_driver != nullptr ? m_driver->GetSampleAllocator() : nullptr;
    if (allocator == nullptr || sample == nullptr) return;
    try {
        allocator->ReleaseSample(sample);
    } catch (...) {
        ReportHostFailure();
    }
}

}  // namespace talvex
