#include "RatioTable.h"

#include "BenchmarkNames.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

double toMilliseconds(double value, benchmark::TimeUnit unit) {
    return value / benchmark::GetTimeUnitMultiplier(unit) * 1e3;
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string ms(double value) {
    return format("%.1f ms", value);
}

std::string mib(double value) {
    return format("%.1f MiB", value);
}

class Table {
public:
    explicit Table(const Figures& figures) : m_figures(figures) {}

    const Figure* find(const std::string& name) const {
        const auto it = m_figures.find(name);
        return it == m_figures.end() ? nullptr : &it->second;
    }
    double counter(const Figure& figure, const char* name) const {
        const auto it = figure.counters.find(name);
        return it == figure.counters.end() ? 0 : it->second;
    }

    // A row against a target; limit 0 marks a figure kept for information.
    void row(const std::string& measure, const std::string& value, const std::string& baseline,
             double ratio, double limit) {
        m_rows.push_back({measure, value, baseline, format("%.2f", ratio),
                          limit > 0 ? format("<= %.2f", limit) : "-",
                          limit > 0 ? (ratio <= limit ? "yes" : "NO") : "-"});
    }

    void print(std::ostream& out) const {
        out << "| Measure | Value | Baseline | Ratio | Target | Met |\n"
               "|---|---|---|---|---|---|\n";
        for (const auto& r : m_rows)
            out << "| " << r[0] << " | " << r[1] << " | " << r[2] << " | " << r[3] << " | " << r[4]
                << " | " << r[5] << " |\n";
    }

private:
    const Figures& m_figures;
    std::vector<std::array<std::string, 6>> m_rows;
};

constexpr double LoadLimit = 1.3;
constexpr double ScalingLimit = 1.2;
constexpr double StartupLimit = 1.3;
constexpr double ShowLimit = 1.2;
constexpr double MemoryLimit = 1.25;

void loadRows(Table& table, Encoding encoding) {
    std::vector<double> perMegabyte;
    std::string spread;
    for (int eighths : AllEighths) {
        const Figure* load = table.find(names::load(encoding, eighths));
        const Figure* floor = table.find(names::floor(encoding, eighths));
        if (!load || !floor)
            continue;
        const double megabytes = table.counter(*floor, "MB");
        table.row("load " + std::string(encodingTag(encoding)) + ' ' +
                      sizeTag(eighths).toStdString() + format(" (%.1f MB)", megabytes),
                  ms(load->ms), "decode " + ms(floor->ms), load->ms / floor->ms,
                  eighths == 8 ? LoadLimit : 0);
        if (megabytes > 0) {
            perMegabyte.push_back(load->ms / megabytes);
            spread += (spread.empty() ? "" : ", ") + format("%.2f", perMegabyte.back());
        }
    }
    if (perMegabyte.size() > 1) {
        const auto [low, high] = std::minmax_element(perMegabyte.begin(), perMegabyte.end());
        table.row("load " + std::string(encodingTag(encoding)) + " ms/MB, 1/8 to full", spread,
                  "fastest " + format("%.2f", *low), *high / *low, ScalingLimit);
    }
    const Figure* iconv = table.find(names::iconvFloor(encoding));
    const Figure* floor = table.find(names::floor(encoding, 8));
    if (iconv && floor) {
        table.row("glibc iconv decode " + std::string(encodingTag(encoding)) +
                      (table.counter(*iconv, "same") > 0 ? " (same text)" : " (differs)"),
                  ms(iconv->ms), "Qt decode " + ms(floor->ms), iconv->ms / floor->ms, 0);
    }
}

void startupRow(Table& table, Encoding encoding) {
    const Figure* startup = table.find(names::startup(encoding));
    const Figure* bare = table.find(names::startupBare());
    const Figure* floor = table.find(names::floor(encoding, 8));
    if (!startup || !bare || !floor)
        return;
    // The reader may cost what the bare window costs plus the decode, scaled.
    table.row("start-up " + std::string(encodingTag(encoding)) + " full, (value - bare) / decode",
              ms(startup->ms), "bare " + ms(bare->ms) + " + decode " + ms(floor->ms),
              (startup->ms - bare->ms) / floor->ms, StartupLimit);
    if (const Figure* first = table.find(names::startupFirstArticle(encoding))) {
        table.row("start-up " + std::string(encodingTag(encoding)) +
                      " full - first article only, / decode",
                  ms(startup->ms - first->ms), "decode " + ms(floor->ms),
                  (startup->ms - first->ms) / floor->ms, 0);
    }
}

void showRows(Table& table) {
    for (qint64 bytes : ShowArticleBytes) {
        const Figure* show = table.find(names::show(bytes));
        const Figure* plain = table.find(names::setPlainText(bytes));
        if (show && plain)
            table.row("ShowArticle " + names::showTag(bytes), ms(show->ms),
                      "setPlainText " + ms(plain->ms), show->ms / plain->ms, ShowLimit);
    }
}

void memoryRow(Table& table, Encoding encoding) {
    const Figure* reader = table.find(names::peak(encoding));
    const Figure* bare = table.find(names::peakBare());
    const Figure* floor = table.find(names::floor(encoding, 8));
    if (!reader || !bare || !floor)
        return;
    const double readerMiB = table.counter(*reader, "peak_MiB");
    const double bareMiB = table.counter(*bare, "peak_MiB");
    const double textMiB = table.counter(*floor, "utf16_MiB");
    table.row("peak memory " + std::string(encodingTag(encoding)) + " full", mib(readerMiB),
              "bare " + mib(bareMiB) + " + text " + mib(textMiB), readerMiB / (bareMiB + textMiB),
              MemoryLimit);
    // The same window showing the same article, without the rest of the
    // collection: what is left is the store and whatever the load wasted.
    if (const Figure* first = table.find(names::peakFirstArticle(encoding))) {
        const double firstMiB = table.counter(*first, "peak_MiB");
        table.row(
            "peak memory " + std::string(encodingTag(encoding)) + " full - first article only",
            mib(readerMiB - firstMiB), "text " + mib(textMiB), (readerMiB - firstMiB) / textMiB, 0);
    }
}

} // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& reports) {
    for (const Run& run : reports) {
        if (run.error_occurred)
            continue;
        const std::string& name = run.run_name.function_name;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        const bool single = run.run_type == Run::RT_Iteration && !m_haveMedian[name];
        if (!median && !single)
            continue;
        Figure figure;
        figure.ms = toMilliseconds(run.GetAdjustedRealTime(), run.time_unit);
        for (const auto& [key, counter] : run.counters)
            figure.counters[key] = counter.value;
        m_figures[name] = figure;
        if (median)
            m_haveMedian[name] = true;
    }
    ConsoleReporter::ReportRuns(reports);
}

void printRatioTable(const Figures& figures, std::ostream& out) {
    Table table(figures);
    for (Encoding encoding : AllEncodings)
        loadRows(table, encoding);
    for (Encoding encoding : AllEncodings)
        startupRow(table, encoding);
    showRows(table);
    for (Encoding encoding : AllEncodings)
        memoryRow(table, encoding);
    table.print(out);
}

} // namespace bench
