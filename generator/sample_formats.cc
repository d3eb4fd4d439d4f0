// The list of sample formats; a new format is one more file and one more line
// here.
#include "generator/air_sample.h"
#include "generator/mir_sample.h"
#include "generator/pnr_sample.h"
#include "generator/sample_format.h"

namespace qx::generator {
namespace {

constexpr SampleFormat kFormats[] = {
    {"air", "AIR", "air", &generate_air_file},
    {"pnr", "PNR", "PNR", &generate_pnr_file},
    {"mir", "MIR", "MIR", &generate_mir_file},
};

}  // namespace

std::span<const SampleFormat> sample_formats() {
  return kFormats;
}

const SampleFormat* find_sample_format(std::string_view name) {
  for (const auto& format : kFormats) {
    if (format.name == name) return &format;
  }
  return nullptr;
}

}  // namespace qx::generator
