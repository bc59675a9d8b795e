#pragma once

#include "CPtzHead.h"

#include <map>
#include <optional>
#include <string>

namespace camsim {

// One "/SetPTZ.cgi" request, understood. The camera's command forms are:
//   PTZSpeed=s&Dir=Left|Right|Up|Down|ZoomIn|ZoomOut      (s from 1 to 9)
//   Up860=v&Left860=v&Dir=GoUpLeft, and GoUpRight, GoDownLeft, GoDownRight (v from 0 to 50)
//   Dir=FocusAUTO | FocusFar | FocusNear | IRISLarge | IRISSmall
//   PointName=n:name&Dir=Presetn      store the head position in slot n
//   Dir=Pointn                        recall slot n
//   RemoveName=n&Dir=Removen          clear slot n
class CPtzCommand {
public:
    enum class EKind { Move, Zoom, Focus, Iris, AutoFocus, StorePreset, RecallPreset, RemovePreset };

    // Nothing, with the reason in error, for a request that is not one of the forms above.
    static std::optional<CPtzCommand> Parse(const std::multimap<std::string, std::string>& params,
                                            std::string& error);

    // False when the command names a preset slot the head does not have.
    bool ApplyTo(CPtzHead& head) const;

    EKind Kind() const { return m_kind; }

private:
    EKind m_kind = EKind::Move;
    int m_dx = 0;      // Move: tenths of a degree
    int m_dy = 0;
    int m_delta = 0;   // Zoom, Focus, Iris
    int m_preset = 0;  // preset commands: the camera's slot number
    std::string m_name;
};

}  // namespace camsim
