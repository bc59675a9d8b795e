// The preset file as the driver reads it at start: the input is written as
// the file, opened through the preset storage and loaded into the preset
// lists of four channels. A name written into the loaded document must read
// back as written.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/TSmartPtr.h"
#include "ptz/CPrepositionList.h"
#include "ptz/CXMLPrepositionReader.h"

namespace {

const std::string& Directory() {
    static const std::string directory = [] {
        char pattern[] = "/tmp/wf-preset-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) __builtin_trap();
        return std::string(made) + "/";
    }();
    return directory;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string kFile = "fuzz.preset";
    const std::string path = Directory() + kFile;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) __builtin_trap();
    if (size != 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
    std::fclose(file);

    talvex::TSmartPtr<CXMLPrepositionReader> storage(new CXMLPrepositionReader("root"));
    storage->Document().SetBaseDirectory(Directory());
    // Opened as Initialize opens it, without its repair of a file that is
    // not XML, which would write to the disk on nearly every input.
    if (storage->Document().Open(kFile.c_str()) != CXMLSettingsAPI::kOk) return 0;
    storage->SetSavingFlag(false);
    for (uint32_t channel = 0; channel < 4; ++channel) {
        talvex::CPrepositionList list(channel);
        list.Attach(nullptr, 32);
        list.Initialize(storage);
        std::string name;
        for (uint32_t i = 0; i < list.GetCount(); ++i)
            if (!list.GetName(i, name) || name.empty()) __builtin_trap();
    }
    const CXMLPrepositionReader::SPreset written{"Gate", 7};
    if (storage->WriteEntry(1, 3, written)) {
        CXMLPrepositionReader::SPreset read;
        if (!storage->ReadEntry(1, 3, read) || read.name != written.name || read.slot != written.slot)
            __builtin_trap();
    }
    return 0;
}
