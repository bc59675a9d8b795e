// Stand-in host: the connection and device description given to Open.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "wrenfield/DriverParams.h"

namespace wftest {

// The host's calls, in order, when a test wants to see them.
using CallTrace = std::vector<std::string>;

inline void Trace(CallTrace* trace, const char* call) {
    if (trace != nullptr) trace->push_back(call);
}

class CHostConnectionParams final : public talvex::ipcapture::IIPConnectionParams {
public:
    const char* GetAddress() override { return address.c_str(); }
    uint16_t GetPort() override { return port; }
    int32_t GetStreamType() override {
        Trace(trace, "GetStreamType");
        return streamType;
    }
    const char* GetUserName() override { return userName.c_str(); }
    const char* GetPassword() override { return password.c_str(); }

    CallTrace* trace = nullptr;

    std::string address = "127.0.0.1";
    uint16_t port = 80;
    int32_t streamType = talvex::ipcapture::kStreamTypeH264;
    std::string userName;
    std::string password;
};

class CHostDeviceParams final : public talvex::ipcapture::IIPDeviceParams {
public:
    const char* GetModelName() override { return modelName.c_str(); }
    uint32_t GetChannelCount() override { return channelCount; }
    uint32_t GetInputCount() override { return inputCount; }
    uint32_t GetOutputCount() override { return outputCount; }

    std::string modelName = "HLC_15AG";
    uint32_t channelCount = 1;
    uint32_t inputCount = 0;
    uint32_t outputCount = 0;
};

class CHostDriverParams final : public talvex::ipcapture::IIPDriverParams {
public:
    talvex::ipcapture::IIPDeviceParams* GetDeviceParams() override {
        Trace(connection.trace, "GetDeviceParams");
        return &device;
    }
    talvex::ipcapture::IIPConnectionParams* GetConnectionParams() override {
        Trace(connection.trace, "GetConnectionParams");
        return &connection;
    }
    const char* GetCustomParam(unsigned int index) override {
        auto it = custom.find(index);
        return it == custom.end() ? nullptr : it->second.c_str();
    }

    CHostConnectionParams connection;
    CHostDeviceParams device;
    std::map<unsigned int, std::string> custom;  // gaps allowed: the host decides
};

}  // namespace wftest
