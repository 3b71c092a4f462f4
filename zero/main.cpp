// Puts the lamp state file of the hall into the all-off state and ends.
#include "lamp_state.h"

#include <iostream>
#include <string>

int main() {
    const hall::Status written = hall::WriteStateFile(hall::AllOffStates());
    if (written) return 0;
    std::cerr << "zero: nie można zapisać pliku " << hall::kStateFilePath.string() << ": " << written.error() << '\n';
    return 1;
}
