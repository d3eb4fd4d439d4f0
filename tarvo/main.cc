// The entry point of the PNR loader.
#include <cstdio>

#include "program/tarvo_program.h"

int main(int argc, char** argv) {
  return qx::program::run_tarvo(argc, argv, stdout);
}
