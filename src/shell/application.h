#pragma once

#include "common/program_exit.h"

namespace kelvo {

// Ends the process at once; nothing after it runs.
class ProcessExit final : public ProgramExit {
public:
    [[noreturn]] void endProgram() override;
};

struct SplashSteps;
class MainForm;

// What the start-up window does with the main window: load and show it, and start forwarding
// when the command line asked for a silent start.
SplashSteps 起動手順(MainForm& window);

// Builds the real program around the main window and runs it.
int runKelvo(int argc, char** argv);

} // namespace kelvo
