#include "program/banner.h"

#include <cstdio>

namespace qx::program {
namespace {

struct ContactLine {
  const char* label;
  const char* value;
};

constexpr const char* kOwner = "Harbourline Software Ltd., back-office interface loaders";
constexpr ContactLine kContactLines[] = {
    {"P.O. Box", "2207, Harbour Street, Portsmouth PO1 3AX"},
    {"Telephone", "+44 20 7946 0321"},
    {"Fax", "+44 20 7946 0322"},
    {"E-mail", "support@harbourline.example"},
};

}  // namespace

std::string banner_text(std::string_view title) {
  std::string text(title);
  text += kOwner;
  text += '\n';
  for (const auto& line : kContactLines) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%-10s: %s\n", line.label, line.value);
    text += buffer;
  }
  return text;
}

}  // namespace qx::program
