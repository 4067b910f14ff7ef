#pragma once
// The samples of one timed figure in the Windows benchmarks, with their median and spread.
#include <algorithm>
#include <vector>

namespace kq::bench {

struct figures {
    const char* name = "";
    std::vector<double> samples;
    double median() const {
        std::vector<double> s = samples;
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
    double least() const { return *std::min_element(samples.begin(), samples.end()); }
    double most() const { return *std::max_element(samples.begin(), samples.end()); }
};

} // namespace kq::bench
