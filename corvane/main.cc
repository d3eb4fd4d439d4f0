// The entry point of one build of the AIR loader; the build is fixed when
// the program is compiled (QX_AIR_BUILD names an AirBuild).
#include <cstdio>

#include "program/corvane_program.h"

#ifndef QX_AIR_BUILD
#error "QX_AIR_BUILD must name the build this program is made for"
#endif

int main(int argc, char** argv) {
  return qx::program::run_corvane(qx::corvane::AirBuild::QX_AIR_BUILD, argc, argv, stdout);
}
