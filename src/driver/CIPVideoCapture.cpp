#include "driver/CIPVideoCapture.h"

namespace talvex {

CIPVideoCapture::CIPVideoCapture(ICustomCreator* factory, uint32_t channelCount)
    : m_factory(factory), m_table(channelCount) {}

CIPVideoCapture::~CIPVideoCapture() {
    for (unsigned int index = 0; index < m_table.size(); ++index) Release(TakeEntry(index));
}

uint32_t CIPVideoCapture::GetChannelCount() {
    CLockHolder hold(m_tableLock);
    return static_cast<uint32_t>(m_table.size());
}

ICameraChannel* CIPVideoCapture::MainChannel(unsigned int index) {
    CLockHolder hold(m_tableLock);
    return index < m_table.size() ? m_table[index].first.get() : nullptr;
}

CIPVideoCapture::Entry CIPVideoCapture::TakeEntry(unsigned int index) {
    CLockHolder hold(m_tableLock);
    if (index >= m_table.size()) return {};
    return std::move(m_table[index]);
}

void CIPVideoCapture::Release(Entry entry) {
    if (entry.second) entry.second->Stop();
    entry.second.reset();
    if (entry.first) entry.first->Stop();
    entry.first.reset();
}

bool CIPVideoCapture::StartChannel(unsigned int index, ipcapture::IHostFrameSink* sink,
                                   ipcapture::IIPCaptureParams* params) {
    try {
        if (index >= m_table.size()) return false;
        StopChannel(index);
        if (params == nullptr || m_factory == nullptr) return false;
        ipcapture::IIPStreamParams* stream = params->GetStreamParams();
        ipcapture::IIPInputParams* input = params->GetInputParams();
        ipcapture::IIPResolution* resolution = input != nullptr ? input->GetResolution() : nullptr;
        if (stream == nullptr || resolution == nullptr) return false;
        CaptureSettings settings;
        settings.FrameIntervalMs = stream->GetFrameInterval();
        settings.Quality = stream->GetQuality();
        settings.Width = resolution->GetWidth();
        settings.Height = resolution->GetHeight();

        Entry entry;
        entry.first.reset(m_factory->CreateChannel(index, sink));
        if (!entry.first) return false;
        bool ok = entry.first->Start(settings);
        if (ok && stream->IsAuxEnabled() != 0) {
            entry.second.reset(m_factory->CreateAuxChannel(index, sink));
            if (entry.second) ok = entry.second->Start(settings);
        }
        // Kept even when the start failed, so that StopChannel or the
        // destructor releases it and its state tells the host why.
        CLockHolder hold(m_tableLock);
        m_table[index] = std::move(entry);
        return ok;
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::StopChannel(unsigned int index) {
    try {
        Entry entry = TakeEntry(index);
        const bool existed = entry.first || entry.second;
        Release(std::move(entry));
        return existed;
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::ChangeSettings(unsigned int index, ipcapture::IIPResolution* resolution,
                                     unsigned int frameIntervalMs) {
    try {
        ICameraChannel* channel = MainChannel(index);
        if (channel == nullptr) return false;
        CaptureSettings settings;
        settings.FrameIntervalMs = frameIntervalMs;
        if (resolution != nullptr) {
            settings.Width = resolution->GetWidth();
            settings.Height = resolution->GetHeight();
        }
        return channel->Reconfigure(settings);
    } catch (...) {
        return false;
    }
}

void* CIPVideoCapture::GetReservedObject() { return nullptr; }

bool CIPVideoCapture::GetChannelStatus(unsigned int index, int32_t* state, int32_t* reserved, char* text,
                                       unsigned int textSize) {
    try {
        if (reserved != nullptr) *reserved = 0;
        if (text != nullptr && textSize != 0) text[0] = '\0';
        ICameraChannel* channel = MainChannel(index);
        if (channel == nullptr) return false;
        const int32_t current = channel->GetState();
        if (state != nullptr) *state = current == kChannelStopped ? kChannelSignalLost : current;
        return true;
    } catch (...) {
        return false;
    }
}

bool CIPVideoCapture::ReservedQueryA(unsigned int, void*, unsigned int) { return false; }

bool CIPVideoCapture::ReservedQueryB(unsigned int, void*, unsigned int) { return false; }

bool CIPVideoCapture::QueryChannelOptionB(unsigned int index) {
    ICameraChannel* channel = MainChannel(index);
    return channel != nullptr && channel->QueryOptionB();
}

bool CIPVideoCapture::QueryChannelOptionA(unsigned int index) {
    ICameraChannel* channel = MainChannel(index);
    return channel != nullptr && channel->QueryOptionA();
}

}  // namespace talvex
