#include "http/HUtils.h"

#include "http/CHttpSender.h"
#include "base/FormatString.h"

namespace talvex::HUtils {

namespace {

constexpr const char* kSource = "talvex::HUtils::RequestGetRD";

}  // namespace

CResultDef RequestGetRD(const std::string& path, std::vector<uint8_t>& body, Web::CHttpSender& sender,
                        bool readBody) {
    CResultDef result;
    const std::string device =
        FormatString("%s:%u", sender.DeviceInfo().Address.c_str(), static_cast<unsigned>(sender.DeviceInfo().Port));
    body.clear();

    const bool sent = sender.Send(Web::HttpRequest("GET", path));
    const uint32_t status = sender.StatusCode();
    if (!sent || status == 0) {
        result.Message = FormatString("%s: can not send request \"%s\" to %s", kSource, path.c_str(), device.c_str());
        result.Category = kResultNoAnswer;
        result.Code = kResultNotSent;
    } else if (status / 100 != 2) {
        result.Message = FormatString("%s: %s sent does not process request \"%s\", status code = %d", kSource,
                                      device.c_str(), path.c_str(), static_cast<int>(status));
        result.Category = kResultDeviceAnsweredWrongly;
        result.Code = kResultStatusNotOk;
    }

    if (readBody && result.Code == kResultSuccess) {
        if (sender.ReadAll(body) == 0 && sender.BodyTooLarge()) {
            result.Message = FormatString("%s: the answer to request \"%s\" from %s is larger than %zu bytes", kSource,
                                          path.c_str(), device.c_str(), sender.BodyCapBytes());
            result.Category = kResultDeviceAnsweredWrongly;
            result.Code = kResultEmptyBody;
        } else if (body.empty()) {
            result.Message =
                FormatString("%s: incorrect response for request \"%s\" from %s", kSource, path.c_str(), device.c_str());
            result.Category = kResultDeviceAnsweredWrongly;
            result.Code = kResultEmptyBody;
        }
        body.push_back(0);
    }
    return result;
}

bool RequestGetBody(const std::string& path, std::vector<uint8_t>& body, Web::CHttpSender& sender) {
    return RequestGetRD(path, body, sender, true).Code == kResultSuccess;
}

bool RequestGetNoBody(const std::string& path, Web::CHttpSender& sender) {
    std::vector<uint8_t> body;
    return RequestGetRD(path, body, sender, false).Code == kResultSuccess;
}

}  // namespace talvex::HUtils
