#include "common/clock.h"
#include "shell/application.h"
#include "shell/signal_bridge.h"

int main(int argc, char** argv) {
    // Before anything that takes time: a signal of the start-up ends Kelvo cleanly.
    kelvo::シグナル受付開始();
    kelvo::readTimeZoneOnce();
    return kelvo::runKelvo(argc, argv);
}
