#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace bench {

// One benchmark's median (or only) run: real time in milliseconds and counters.
struct Figure {
    double ms = 0;
    std::map<std::string, double> counters;
};

using Figures = std::map<std::string, Figure>;

// Prints runs as the console reporter does and keeps each benchmark's median
// for the ratio table.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run>& reports) override;
    const Figures& figures() const { return m_figures; }

private:
    Figures m_figures;
    std::map<std::string, bool> m_haveMedian;
};

// The ratios against their baselines, with the targets, as a Markdown table.
// Benchmarks that did not run leave their rows out.
void printRatioTable(const Figures& figures, std::ostream& out);

} // namespace bench
