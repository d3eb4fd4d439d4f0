// The entry point of the PNR loader.
#include <cstdio>

#include "tarvo/tarvo_program.h"

int main(int argc, char** argv) {
  return qx::tarvo::run_tarvo(argc, argv, stdout);
}
