// The named presets of one PTZ channel: which camera slot each name stands
// for, the order they were added in, the preset the camera stands on, and
// their mirror in the device's preset file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/TSmartPtr.h"
#include "ptz/CXMLPrepositionReader.h"
#include "ptz/IPrepositionComm.h"
#include "thread/CRecursiveLock.h"

namespace talvex {

class CPrepositionList {
public:
    explicit CPrepositionList(uint32_t channel);
    virtual bool SaveEntry(uint32_t index, uint32_t slot, const std::string& name);
    virtual bool SaveAll();
    virtual void Load();
    virtual ~CPrepositionList();
    virtual bool Initialize(TSmartPtr<CXMLPrepositionReader> storage);
    virtual uint32_t GetCount();
    virtual bool GetName(uint32_t index, std::string& name);
    virtual bool GotoPreset(const std::string& name, int32_t value);
    // A host result code (1, -3, -18, -26).
    virtual int32_t AddPreposition(const std::string& name);
    virtual bool RemovePreset(const std::string& name);
    virtual bool GetCurrentName(std::string& name);

    CPrepositionList(const CPrepositionList&) = delete;
    CPrepositionList& operator=(const CPrepositionList&) = delete;

    void Attach(IPrepositionComm* command, uint32_t capacity);
    void ClearCurrent();
    int32_t RenameCurrentPreposition(const std::string& name);
    bool FindFreeSlot(uint32_t& slot);
    bool FindSlotByName(const std::string& name, uint32_t& slot);
    bool LookupName(uint32_t slot, std::string& name);
    bool HasStorage();

    static bool IsValidName(const std::string& name);

private:
    const uint32_t m_channel;
    IPrepositionComm* m_command = nullptr;  // not owned; the control's command object
    uint32_t m_capacity = 0;
    TSmartPtr<CXMLPrepositionReader> m_storage;
    CRecursiveLock m_lock;  // guards the storage handle and everything below
    std::map<uint32_t, std::string> m_names;
    std::vector<uint32_t> m_order;
    int32_t m_current = -1;
};

}  // namespace talvex
