// The entry point of the MIR loader.
#include <cstdio>

#include "program/meridon_program.h"

int main(int argc, char** argv) {
  return qx::program::run_meridon_full(argc, argv, stdout);
}
