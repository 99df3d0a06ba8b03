#include "cli/run.h"

int main(int argc, char** argv) { return runVlc3(argc, argv); }
