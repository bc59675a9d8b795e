// Stand-in host: the capture settings of one input.
#pragma once

#include <string>
#include <vector>

#include "wrenfield/CaptureParams.h"

namespace wftest {

class CHostResolution final : public talvex::ipcapture::IIPResolution {
public:
    CHostResolution(uint16_t w = 640, uint16_t h = 480) : width(w), height(h) {}
    uint16_t GetWidth() override { return width; }
    uint16_t GetHeight() override { return height; }
    uint16_t width;
    uint16_t height;
};

class CHostInputParams final : public talvex::ipcapture::IIPInputParams {
public:
    talvex::ipcapture::IIPResolution* GetResolution() override { return &resolution; }
    CHostResolution resolution;
};

class CHostStreamParams final : public talvex::ipcapture::IIPStreamParams {
public:
    uint16_t GetFrameInterval() override { return frameIntervalMs; }
    uint16_t GetQuality() override { return quality; }
    int32_t IsAuxEnabled() override {
        if (trace != nullptr) trace->push_back("IsAuxEnabled");
        return auxEnabled;
    }
    std::vector<std::string>* trace = nullptr;  // the host's calls, when a test wants them
    uint16_t frameIntervalMs = 40;
    uint16_t quality = 50;
    int32_t auxEnabled = 0;
};

class CHostCaptureParams final : public talvex::ipcapture::IIPCaptureParams {
public:
    talvex::ipcapture::IIPInputParams* GetInputParams() override { return &input; }
    talvex::ipcapture::IIPStreamParams* GetStreamParams() override { return &stream; }
    CHostInputParams input;
    CHostStreamParams stream;
};

}  // namespace wftest
