// The entry point of the MIR loader.
#include <cstdio>

#include "meridon_full/meridon_program.h"

int main(int argc, char** argv) {
  return qx::meridon_full::run_meridon_full(argc, argv, stdout);
}
