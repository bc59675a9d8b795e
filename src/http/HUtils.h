// GET requests to the camera's CGI pages, judged into a CResultDef.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "http/CResultDef.h"

namespace Web {
class CHttpSender;
}

namespace talvex::HUtils {

// Sends a GET for path through sender. Any 2xx counts as answered; with
// readBody the whole body is read into body (an empty one is a fault), and
// body then ends with one zero byte so it can be read as a text.
CResultDef RequestGetRD(const std::string& path, std::vector<uint8_t>& body, Web::CHttpSender& sender,
                        bool readBody);
// RequestGetRD with the body; true when it succeeded.
bool RequestGetBody(const std::string& path, std::vector<uint8_t>& body, Web::CHttpSender& sender);
// RequestGetRD without reading the body, for setting pages whose answer text
// is not needed.
bool RequestGetNoBody(const std::string& path, Web::CHttpSender& sender);

}  // namespace talvex::HUtils
