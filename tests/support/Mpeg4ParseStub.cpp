// A stand-in for the MPEG-4 header parser library that some installations
// ship: it understands every key plane and reports one fixed size, so a test
// can tell its answer from the driver's own reader.
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define STUB_STDCALL __stdcall
#else
#define STUB_STDCALL
#endif
#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

STUB_EXPORT int32_t STUB_STDCALL ParseMpegHeader(uint8_t* bytes, uint32_t size, uint32_t* width, uint32_t* height) {
    if (bytes == nullptr || size == 0 || width == nullptr || height == nullptr) return 0;
    *width = 1234;
    *height = 567;
    return 1;
}
