// Puts the lamp state file of the hall into the all-off state and ends.
#include "lamp_state.h"

#include <iostream>
#include <string>

int main() {
    std::string error;
    if (hall::WriteStateFile(hall::AllOffStates(), hall::kStateFilePath, &error)) return 0;
    std::cerr << "zero: nie można zapisać pliku " << hall::kStateFilePath.string() << ": " << error << '\n';
    return 1;
}
