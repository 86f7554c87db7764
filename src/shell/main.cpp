#include "shell/application.h"

int main(int argc, char** argv) { return kelvo::runKelvo(argc, argv); }
