#pragma once

#include "common/program_exit.h"

namespace kelvo {

// Ends the process at once; nothing after it runs.
class ProcessExit final : public ProgramExit {
public:
    [[noreturn]] void endProgram() override;
};

// Builds the real program around the main window and runs it.
int runKelvo(int argc, char** argv);

} // namespace kelvo
