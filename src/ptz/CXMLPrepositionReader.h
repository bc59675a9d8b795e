// The preset file of one device, shared by the preset lists of all its
// channels:
//   <root>
//     <PtzChannel01>
//       <Preposition000><Name value="Gate"/><Slot value="0"/></Preposition000>
//     </PtzChannel01>
//   </root>
// Channel elements count from 01 (index + 1), preset elements from 000 (the
// position in the channel's list); the slot is the camera preset number - 1.
#pragma once

#include <cstdint>
#include <string>

#include "base/IDebugMessage.h"
#include "ptz/CXMLSettingsAPI.h"
#include "thread/CRecursiveLock.h"

class CXMLPrepositionReader {
public:
    struct SPreset {
        std::string name;  // UTF-8
        uint32_t slot = 0;
    };

    explicit CXMLPrepositionReader(const std::string& rootName);
    virtual ~CXMLPrepositionReader();
    CXMLPrepositionReader(const CXMLPrepositionReader&) = delete;
    CXMLPrepositionReader& operator=(const CXMLPrepositionReader&) = delete;

    // Opens the file, creating it only when it is missing or empty. A file
    // that is not XML is renamed aside first (reported on log at level 2);
    // a file that cannot be read is left alone and Initialize fails.
    bool Initialize(const std::string& fileName, IDebugMessage* log = nullptr);
    bool ReadEntry(uint32_t channel, uint32_t index, SPreset& preset);
    bool WriteEntry(uint32_t channel, uint32_t index, const SPreset& preset);
    bool ClearChannel(uint32_t channel);

    // The batch rewrite of a preset list: the lock, and a saving flag that is
    // off while the channel is rewritten so that only the end result is saved.
    CRecursiveLock& Lock() { return m_lock; }
    bool SavingFlag();
    void SetSavingFlag(bool saving);
    bool Save();

    // For tests: where the file is looked for (default: beside the host executable).
    CXMLSettingsAPI& Document() { return m_document; }

private:
    bool MoveAside(const std::string& fileName, IDebugMessage* log);

    const std::string m_rootName;
    CRecursiveLock m_lock;  // guards m_document and m_saving for whole operations
    CXMLSettingsAPI m_document;
    bool m_saving = false;
};
