#include "ptz/CPrepositionList.h"

#include <algorithm>

#include "wrenfield/PTZ.h"

namespace talvex {

namespace {
// Characters that would break the camera's preset page or the host's own
// records of the name.
constexpr const char* kInvalidNameChars = "&!<>'\"";
}  // namespace

CPrepositionList::CPrepositionList(uint32_t channel) : m_channel(channel) {}

CPrepositionList::~CPrepositionList() = default;

void CPrepositionList::Attach(IPrepositionComm* command, uint32_t capacity) {
    CLockHolder hold(m_lock);
    m_command = command;
    m_capacity = capacity;
}

bool CPrepositionList::IsValidName(const std::string& name) {
    return !name.empty() && name.find_first_of(kInvalidNameChars) == std::string::npos;
}

bool CPrepositionList::Initialize(TSmartPtr<CXMLPrepositionReader> storage) {
    CLockHolder hold(m_lock);
    m_storage = storage;
    if (m_storage) Load();
    return static_cast<bool>(m_storage);
}

bool CPrepositionList::HasStorage() {
    CLockHolder hold(m_lock);
    return static_cast<bool>(m_storage);
}

void CPrepositionList::Load() {
    CLockHolder hold(m_lock);
    m_names.clear();
    m_order.clear();
    m_current = -1;
    if (!m_storage) return;
    for (uint32_t index = 0; index < m_capacity; ++index) {
        CXMLPrepositionReader::SPreset preset;
        if (!m_storage->ReadEntry(m_channel, index, preset)) continue;
        // A slot the camera does not have, or one already named, would let
        // two names recall one position or store beyond the camera: the
        // first entry of a slot wins.
        if (preset.slot >= m_capacity || m_names.count(preset.slot) != 0) continue;
        m_names[preset.slot] = preset.name;
        m_order.push_back(preset.slot);
    }
}

int32_t CPrepositionList::AddPreposition(const std::string& name) {
    IPrepositionComm* command = nullptr;
    {
        CLockHolder hold(m_lock);
        command = m_command;
    }
    if (command == nullptr) return ipcapture::kPtzNotPosted;
    if (!IsValidName(name)) {
        const std::string text = "talvex::CPrepositionList::AddPreposition: A preposition \"" + name +
                                 "\" cannot be added - the name is invalid.";
        command->DebugMessage(kLevelFailure, "%s", text.c_str());
        return ipcapture::kPtzBadArgument;
    }
    CLockHolder hold(m_lock);
    if (m_current != -1) return RenameCurrentPreposition(name);
    if (m_capacity <= m_order.size()) {
        command->DebugMessage(kLevelFailure,
                              "%s: A preposition \"%s\" cannot be added. Camera supports saving not more than %u "
                              "prepositions.",
                              "talvex::CPrepositionList::AddPreposition", name.c_str(), m_capacity);
        return ipcapture::kPtzPresetsFull;
    }
    uint32_t slot = 0;
    if (!FindFreeSlot(slot)) return ipcapture::kPtzPresetsFull;
    if (!command->SavePreset(slot, name)) return ipcapture::kPtzNotPosted;
    m_names[slot] = name;
    m_order.push_back(slot);
    m_current = static_cast<int32_t>(m_order.size() - 1);
    return SaveEntry(static_cast<uint32_t>(m_current), slot, name) ? ipcapture::kPtzOk : ipcapture::kPtzNotPosted;
}

int32_t CPrepositionList::RenameCurrentPreposition(const std::string& name) {
    CLockHolder hold(m_lock);
    if (m_current == -1) return ipcapture::kPtzNotPosted;
    if (m_current < 0 || static_cast<std::size_t>(m_current) >= m_order.size()) return ipcapture::kPtzBadArgument;
    const uint32_t slot = m_order[static_cast<std::size_t>(m_current)];
    std::string oldName;
    if (!LookupName(slot, oldName)) return ipcapture::kPtzNotPosted;
    if (!SaveEntry(static_cast<uint32_t>(m_current), slot, name)) return ipcapture::kPtzNotPosted;
    if (m_command != nullptr)
        m_command->DebugMessage(kLevelInformation, "%s: A preposition with index %d was renamed from \"%s\" to \"%s\".",
                                "talvex::CPrepositionList::RenameCurrentPreposition", m_current, oldName.c_str(),
                                name.c_str());
    m_names[slot] = name;
    return ipcapture::kPtzOk;
}

bool CPrepositionList::GotoPreset(const std::string& name, int32_t value) {
    if (name.empty()) return false;
    CLockHolder hold(m_lock);
    uint32_t slot = 0;
    if (!FindSlotByName(name, slot)) return false;
    const auto found = std::find(m_order.begin(), m_order.end(), slot);
    if (found == m_order.end()) return false;
    const auto index = static_cast<int32_t>(found - m_order.begin());
    if (index == m_current) return true;
    if (m_command == nullptr || !m_command->GotoPreset(slot, name, value)) return false;
    m_current = index;
    return true;
}

bool CPrepositionList::RemovePreset(const std::string& name) {
    if (name.empty()) return false;
    CLockHolder hold(m_lock);
    uint32_t slot = 0;
    if (!FindSlotByName(name, slot) || m_command == nullptr) return false;
    if (m_command->RemovePreset(slot, name)) {
        m_names.erase(slot);
        m_order.erase(std::remove(m_order.begin(), m_order.end(), slot), m_order.end());
    }
    m_current = -1;
    return SaveAll();
}

bool CPrepositionList::SaveEntry(uint32_t index, uint32_t slot, const std::string& name) {
    CLockHolder hold(m_lock);
    if (!m_storage) return false;
    return m_storage->WriteEntry(m_channel, index, CXMLPrepositionReader::SPreset{name, slot});
}

bool CPrepositionList::SaveAll() {
    CLockHolder hold(m_lock);
    if (!m_storage) return false;
    CLockHolder storageHold(m_storage->Lock());
    m_storage->SetSavingFlag(false);
    m_storage->ClearChannel(m_channel);
    // One entry the file cannot hold (a name the document refuses) must not
    // cost the presets behind it: every other entry is still written, and the
    // rewrite as a whole reports the failure. Entries are loaded by position,
    // so the gap it leaves is harmless.
    bool ok = true;
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        std::string name;
        if (!LookupName(m_order[i], name) ||
            !m_storage->WriteEntry(m_channel, static_cast<uint32_t>(i), CXMLPrepositionReader::SPreset{name, m_order[i]}))
            ok = false;
    }
    m_storage->SetSavingFlag(true);
    // A rewrite that never reached the disk is not a success.
    const bool saved = m_storage->Save();
    return ok && saved;
}

uint32_t CPrepositionList::GetCount() {
    CLockHolder hold(m_lock);
    return static_cast<uint32_t>(m_order.size());
}

bool CPrepositionList::GetName(uint32_t index, std::string& name) {
    name.clear();
    CLockHolder hold(m_lock);
    return index < m_order.size() && LookupName(m_order[index], name);
}

bool CPrepositionList::GetCurrentName(std::string& name) {
    name.clear();
    CLockHolder hold(m_lock);
    if (m_current < 0 || static_cast<std::size_t>(m_current) >= m_order.size()) return false;
    return LookupName(m_order[static_cast<std::size_t>(m_current)], name);
}

void CPrepositionList::ClearCurrent() {
    CLockHolder hold(m_lock);
    m_current = -1;
}

bool CPrepositionList::FindFreeSlot(uint32_t& slot) {
    CLockHolder hold(m_lock);
    for (uint32_t candidate = 0; candidate < m_capacity; ++candidate) {
        if (m_names.count(candidate) == 0) {
            slot = candidate;
            return true;
        }
    }
    return false;
}

bool CPrepositionList::FindSlotByName(const std::string& name, uint32_t& slot) {
    CLockHolder hold(m_lock);
    for (const auto& [candidate, candidateName] : m_names) {
        if (candidateName == name) {
            slot = candidate;
            return true;
        }
    }
    return false;
}

bool CPrepositionList::LookupName(uint32_t slot, std::string& name) {
    CLockHolder hold(m_lock);
    const auto found = m_names.find(slot);
    if (found == m_names.end()) return false;
    name = found->second;
    return true;
}

}  // namespace talvex
