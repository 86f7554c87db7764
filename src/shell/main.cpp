#include "common/clock.h"
#include "shell/application.h"
#include "shell/program_options.h"

int main(int argc, char** argv) {
    // --help, --version and unknown options: answered before anything starts.
    if (const auto status = kelvo::端末オプション応答(argc, argv))
        return *status;
    kelvo::readTimeZoneOnce();
    return kelvo::runKelvo(argc, argv);
}
