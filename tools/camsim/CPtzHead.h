#pragma once

#include <optional>
#include <string>
#include <vector>

namespace camsim {

// Position of a simulated pan-tilt-zoom head. Pan is in tenths of a degree and wraps at a
// full turn; tilt is in tenths of a degree from -90 to +90 degrees; zoom, focus and iris are
// lens positions from 0 to 100.
struct SPtzPosition {
    int pan = 0;
    int tilt = 0;
    int zoom = 0;
    int focus = 50;
    int iris = 50;
    bool autoFocus = true;

    bool operator==(const SPtzPosition&) const = default;
};

struct SPtzPreset {
    std::string name;
    SPtzPosition position;
};

// The head of one channel: its position and its preset slots (camera numbering from 1).
// Not thread-safe; CCameraState serialises access.
class CPtzHead {
public:
    static constexpr int kPanFullTurn = 3600;
    static constexpr int kTiltLimit = 900;
    static constexpr int kLensMax = 100;

    explicit CPtzHead(int presetSlots);

    // A pan/tilt step; dx and dy in tenths of a degree (positive: right and up).
    void Move(int dx, int dy);
    void Zoom(int delta);
    void Focus(int delta);  // a manual focus step also leaves auto focus
    void Iris(int delta);
    void SetAutoFocus();

    int PresetSlots() const { return static_cast<int>(m_presets.size()); }
    // Slot numbers are the camera's own (1-based); false when the number is out of range.
    bool StorePreset(int number, const std::string& name);
    bool RemovePreset(int number);
    // True when the slot exists; the head moves only when the slot holds a preset.
    bool RecallPreset(int number);
    const std::vector<std::optional<SPtzPreset>>& Presets() const { return m_presets; }

    const SPtzPosition& Position() const { return m_position; }

private:
    SPtzPosition m_position;
    std::vector<std::optional<SPtzPreset>> m_presets;
};

}  // namespace camsim
