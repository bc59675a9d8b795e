#include "parsers/CHttpMediaParser.h"

#include <cstring>

#include "parsers/SampleSizes.h"

namespace talvex {

CHttpMediaParser::CHttpMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name)
    : m_receiver(receiver), m_driver(driver), m_name(std::move(name)) {}

CHttpMediaParser::~CHttpMediaParser() = default;

bool CHttpMediaParser::CheckBufferSize() {
    if (m_frameBuffer.size() <= kMaxFrameBytes) return true;
    if (m_driver != nullptr) {
        const DEVICE_INFO& device = m_driver->GetDeviceInfo();
        m_driver->DebugMessage(kLevelFailure, "%s: Frame buffer overflow detected, device %s:%u",
                               "talvex::CHttpMediaParser::CheckBufferSize", device.Address.c_str(),
                               static_cast<unsigned>(device.Port));
    }
    return false;
}

void CHttpMediaParser::HandOver(uint32_t fourcc, uint32_t bufferSize, const uint8_t* picture, uint32_t size,
                                const char* source) {
    if (m_driver == nullptr || m_receiver == nullptr || size > bufferSize) return;
    try {
        ipcapture::IHostSampleAllocator* allocator = m_driver->GetSampleAllocator();
        if (allocator == nullptr) return;
        ipcapture::IHostMediaSample* sample = allocator->CreateSample(fourcc, bufferSize, m_name.c_str());
        if (sample == nullptr) return;
        // The sample goes back to the host however the hand-over ends.
        struct SReturn {
            ipcapture::IHostSampleAllocator* allocator;
            ipcapture::IHostMediaSample* sample;
            ~SReturn() {
                try {
                    allocator->ReleaseSample(sample);
                } catch (...) {
                }
            }
        } giveBack{allocator, sample};
        sample->SetWidth(m_width);
        sample->SetHeight(m_height);
        sample->SetSizeClass(PictureSizeClass(m_width, m_height));
        sample->SetDataSize(size);
        sample->SetFourCC(fourcc);
        sample->SetTimeNow();
        uint8_t* buffer = sample->GetBuffer();
        if (buffer == nullptr) return;
        std::memcpy(buffer, picture, size);
        m_receiver->OnMediaSample(sample);
    } catch (...) {
        m_driver->DebugMessage(kLevelFailure, "%s: The host failed to take a picture of %s; it was dropped", source,
                               m_name.c_str());
    }
}

}  // namespace talvex
