#include "common/clock.h"
#include "shell/application.h"

int main(int argc, char** argv) {
    kelvo::readTimeZoneOnce();
    return kelvo::runKelvo(argc, argv);
}
