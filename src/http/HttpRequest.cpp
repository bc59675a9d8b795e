#include "http/HttpRequest.h"

#include <utility>

#include "platform/PlatformHttp.h"

namespace Web {

HttpRequest::HttpRequest(std::string verb, std::string path) : Verb(std::move(verb)), Path(std::move(path)) {}

uint32_t AuthSchemeKind(int32_t authScheme) {
    using namespace talvex::platform;
    // Later tests override earlier ones, so bit 2 wins over everything and
    // bits 0 and 1 together mean Digest.
    uint32_t scheme = kHttpAuthBasic;
    if (authScheme & 0x01) scheme = kHttpAuthNtlm;
    if (authScheme & 0x02) scheme = kHttpAuthPassport;
    if ((authScheme & 0x03) == 0x03) scheme = kHttpAuthDigest;
    if (authScheme & 0x04) scheme = kHttpAuthNegotiate;
    return scheme;
}

}  // namespace Web
