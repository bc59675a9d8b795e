// What the host needs to know of its output: a terminal (redrawn in place)
// or a pipe or file (plain lines).
#pragma once

#include <cstdio>

namespace wfhost {

class CTerminal {
public:
    static bool IsTerminal(FILE* stream);
    // Columns of the terminal; 80 when it does not tell.
    static unsigned int Columns(FILE* stream);
    // Lets a Windows console interpret the cursor escapes; false where it cannot.
    static bool EnableEscapes(FILE* stream);
};

}  // namespace wfhost
