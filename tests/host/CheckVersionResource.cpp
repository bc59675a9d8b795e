// Reads the version record of the driver DLL back the way an installer does
// (GetFileVersionInfo, VerQueryValue) and compares it with the project
// version. Usage: CheckVersionResource DLL MAJOR.MINOR.PATCH
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string StringValue(std::vector<char>& record, const char* name) {
    char* text = nullptr;
    UINT length = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (VerQueryValueA(record.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) == 0 || text == nullptr)
        return "(missing)";
    return std::string(text);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
    if (size == 0) {
        std::printf("no version record in %s\n", argv[1]);
        return 1;
    }
    std::vector<char> record(size);
    if (GetFileVersionInfoA(argv[1], 0, size, record.data()) == 0) return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length) == 0 || fixed == nullptr)
        return 1;
    char numbers[64];
    std::snprintf(numbers, sizeof(numbers), "%u.%u.%u", static_cast<unsigned>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(fixed->dwFileVersionLS)));
    char product[64];
    std::snprintf(product, sizeof(product), "%u.%u.%u", static_cast<unsigned>(HIWORD(fixed->dwProductVersionMS)),
                  static_cast<unsigned>(LOWORD(fixed->dwProductVersionMS)),
                  static_cast<unsigned>(HIWORD(fixed->dwProductVersionLS)));
    const std::string expected = argv[2];
    const std::string description = StringValue(record, "FileDescription");
    const std::string fileVersion = StringValue(record, "FileVersion");
    const std::string productVersion = StringValue(record, "ProductVersion");
    std::printf("file %s, product %s, FileVersion \"%s\", ProductVersion \"%s\", FileDescription \"%s\"\n", numbers,
                product, fileVersion.c_str(), productVersion.c_str(), description.c_str());
    const bool ok = expected == numbers && expected == product && fileVersion == expected + ".0" &&
                    productVersion == expected && description.find("Wrenfield") != std::string::npos;
    return ok ? 0 : 1;
}
