// Repeated measurements and their summary: median, least and greatest.
#pragma once

#include <algorithm>
#include <vector>

namespace qx::bench {

struct Summary {
  double median = 0;
  double min = 0;
  double max = 0;
};

inline Summary summarize(std::vector<double> values) {
  if (values.empty()) return {};
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  return {median, values.front(), values.back()};
}

}  // namespace qx::bench
