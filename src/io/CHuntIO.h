// The digital I/O object of Hunt / Asoni cameras: inputs are read from
// "/GetGPIO.cgi", outputs switched with "/SetGPIO.cgi".
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "http/CHttpSender.h"
#include "io/CIOBase.h"

namespace talvex {

class CHuntIO final : public CIOBase {
public:
    explicit CHuntIO(IDriver* driver, uint32_t pollPeriodMs = kPollPeriodMs);
    ~CHuntIO() override;
    WF_DELETING_DESTRUCTOR(CHuntIO)

    bool WriteOutput(unsigned int index, int32_t state) override;
    bool PollInputs(unsigned int inputCount) override;

    // The state of an input from its "InputnTrig" value: active when the
    // value's leading decimal number is not 0, inactive otherwise (also for
    // a missing or non-numeric value).
    static int32_t InputStateOf(const std::string& value);
    // Whether a reply holds at least one record of a name, "=" and a value.
    static bool HasRecord(const std::string& reply);

protected:
    void AbortRequests() override;
    void ResumeRequests() override;

private:
    // The output worker and the input poller each have their own sender; a
    // host that calls WriteOutput or PollInputs itself waits for the worker's
    // request instead of sharing the sender with it.
    std::mutex m_outputMutex;  // one request at a time on m_outputSender
    std::unique_ptr<Web::CHttpSender> m_outputSender;
    std::mutex m_inputMutex;  // one request at a time on m_inputSender
    std::unique_ptr<Web::CHttpSender> m_inputSender;
};

}  // namespace talvex
