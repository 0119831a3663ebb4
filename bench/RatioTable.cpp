#include "RatioTable.h"

#include "BenchmarkNames.h"

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

    // A figure against a target of its own, in milliseconds or bytes.
    void within(const std::string& measure, const std::string& value, double figure,
                const std::string& target, double limit) {
        m_rows.push_back({measure, value, target, format("%.2f", figure / limit), "<= 1.00",
                          figure <= limit ? "yes" : "NO"});
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
constexpr double OneCpuLimit = 0.5;
constexpr double ScalingLimit = 1.2;
constexpr double StartupLimit = 1.3;
constexpr double ReindexLimit = 1.25;
constexpr double ShowLimit = 1.2;
constexpr double LongLineLimit = 2.0;
constexpr double MemoryLimit = 1.15;
constexpr double GrowthLimit = 0.10;

std::string tag(Encoding encoding) {
    return encodingTag(encoding);
}

void loadRows(Table& table, Encoding encoding) {
    for (int eighths : AllEighths) {
        const Figure* load = table.find(names::load(encoding, eighths));
        if (!load)
            continue;
        table.row("load " + tag(encoding) + ' ' + sizeTag(eighths).toStdString() +
                      format(" (%.1f MB)", table.counter(*load, "MB")),
                  ms(load->ms), "decode " + ms(table.counter(*load, "decode_ms")),
                  table.counter(*load, "ratio"), eighths == 8 ? LoadLimit : 0);
    }
    if (const Figure* oneCpu = table.find(names::loadOneCpu(encoding))) {
        table.row("load " + tag(encoding) + " full on one core", ms(oneCpu->ms),
                  "decode " + ms(table.counter(*oneCpu, "decode_ms")),
                  table.counter(*oneCpu, "ratio"), OneCpuLimit);
    }
    if (const Figure* scaling = table.find(names::scaling(encoding))) {
        std::string spread;
        for (int eighths : AllEighths) {
            const std::string key = "ms_per_MB_" + sizeTag(eighths).toStdString();
            spread +=
                (spread.empty() ? "" : ", ") + format("%.2f", table.counter(*scaling, key.c_str()));
        }
        table.row("load " + tag(encoding) + " ms/MB at 1/8, 1/4, 1/2, full", spread,
                  "the fastest of them", table.counter(*scaling, "spread"), ScalingLimit);
    }
    if (const Figure* iconv = table.find(names::iconv(encoding))) {
        table.row("glibc iconv decode " + tag(encoding) +
                      (table.counter(*iconv, "same") > 0 ? " (same text)" : " (other text)"),
                  ms(iconv->ms), "Qt decode " + ms(table.counter(*iconv, "qt_ms")),
                  table.counter(*iconv, "ratio"), 0);
    }
}

void startupRows(Table& table, Encoding encoding) {
    const Figure* startup = table.find(names::startup(encoding));
    if (!startup)
        return;
    const double bare = table.counter(*startup, "bare_ms");
    const double decode = table.counter(*startup, "decode_ms");
    const double two = table.counter(*startup, "two_ms");
    // The reader may cost what the bare window costs plus the decode, scaled.
    table.row("start-up " + tag(encoding) + " full, (value - bare) / decode", ms(startup->ms),
              "bare " + ms(bare) + " + decode " + ms(decode), table.counter(*startup, "ratio"),
              StartupLimit);
    table.row("start-up " + tag(encoding) + " full - two articles, / decode", ms(startup->ms - two),
              "decode " + ms(decode), table.counter(*startup, "load_share"), 0);
}

void readyRows(Table& table, Encoding encoding) {
    if (const Figure* ready = table.find(names::ready(encoding)))
        table.row("ready to move " + tag(encoding) + " full vs two articles", ms(ready->ms),
                  "two articles " + ms(table.counter(*ready, "two_ms")),
                  table.counter(*ready, "ratio"), 0);
}

void reindexRows(Table& table, Encoding encoding) {
    if (const Figure* reindex = table.find(names::reindex(encoding)))
        table.row("re-index " + tag(encoding) + " full after an edit, less the settle wait",
                  ms(reindex->ms), "first index " + ms(table.counter(*reindex, "first_ms")),
                  table.counter(*reindex, "ratio"), ReindexLimit);
}

// Against ripgrep counting the same text in the UTF-8 collection, for both
// encodings; without ripgrep, for information.
void searchRow(Table& table, const std::string& name, const std::string& what, double limit) {
    const Figure* search = table.find(name);
    if (!search)
        return;
    const double rg = table.counter(*search, "rg_ms");
    if (rg > 0)
        table.row(what + " vs ripgrep on the UTF-8 file", ms(search->ms), "rg -F -c " + ms(rg),
                  search->ms / rg, limit);
    else
        table.row(what + " (no ripgrep to set it against)", ms(search->ms), "-", 0, 0);
}

void searchRows(Table& table, Encoding encoding) {
    searchRow(table, names::search(encoding), "find, no match, " + tag(encoding) + " full", 1.0);
    searchRow(table, names::searchVariants(encoding),
              "find, no match, 后来的书, " + tag(encoding) + " full", 1.0);
    searchRow(table, names::searchRepeated(encoding),
              "find 30 甲 乙 in a text of 甲, " + tag(encoding), 2.0);
    searchRow(table, names::searchRepeatedShort(encoding),
              "find, no match, 甲甲甲丙 in a text of 甲, " + tag(encoding), 2.0);
    searchRow(table, names::searchRepeatedDense(encoding),
              "find, no match, 甲乙乙 in a text of 甲, " + tag(encoding), 2.0);
}

constexpr double ListOpenMs = 100;
constexpr double TitleFilterMs = 30;
constexpr double TextFilterMs = 150;
constexpr double TitlesKiB = 1024;

void titleListRows(Table& table, Encoding encoding) {
    const Figure* list = table.find(names::titleList(encoding));
    if (!list)
        return;
    const std::string full = tag(encoding) + " full";
    table.row("list of titles opened, " + full + " vs show article", ms(list->ms),
              "show article " + ms(table.counter(*list, "show_ms")),
              list->ms / table.counter(*list, "show_ms"), 0);
    table.within("list of titles opened, " + full, ms(list->ms), list->ms, "100 ms", ListOpenMs);
    const double title = table.counter(*list, "title_filter_ms");
    table.within("list of titles, one character typed, " + full, ms(title), title, "30 ms",
                 TitleFilterMs);
    const double text = table.counter(*list, "text_filter_ms");
    table.within("list of titles, one character typed in the whole text, " + full, ms(text), text,
                 "150 ms", TextFilterMs);
    if (const double rg = table.counter(*list, "rg_ms"); rg > 0)
        table.row("list of titles, whole text, " + full + " vs ripgrep on the UTF-8 file", ms(text),
                  "rg -F -c " + ms(rg), text / rg, 0);
    const double kib = table.counter(*list, "titles_KiB");
    table.within("titles in memory, " + full, format("%.0f KiB", kib), kib, "1 MiB", TitlesKiB);
}

void showRows(Table& table) {
    for (qint64 bytes : ShownArticleBytes) {
        if (const Figure* show = table.find(names::show(bytes)))
            table.row("show article " + names::showTag(bytes), ms(show->ms),
                      "setPlainText " + ms(table.counter(*show, "plain_ms")),
                      table.counter(*show, "ratio"), ShowLimit);
    }
}

void longLineRows(Table& table) {
    for (qint64 chars : LongLineChars) {
        if (const Figure* line = table.find(names::longLine(chars)))
            table.row("show article, one line of " + std::to_string(chars >> 20) + " Mi \"x\"",
                      ms(line->ms),
                      "as many Chinese characters " + ms(table.counter(*line, "chinese_ms")),
                      table.counter(*line, "ratio"), LongLineLimit);
    }
}

void verticalRows(Table& table) {
    for (const char* what : {"switch", "next"}) {
        if (const Figure* vertical = table.find(names::vertical(what)))
            table.row(std::string("vertical, ") + what + " on 5KB", ms(vertical->ms),
                      "text box " + ms(table.counter(*vertical, "box_ms")),
                      table.counter(*vertical, "ratio"), ShowLimit);
    }
    for (size_t i = 1; i < ShownArticleBytes.size(); ++i) {
        const qint64 bytes = ShownArticleBytes[i];
        if (const Figure* whole = table.find(names::verticalWhole(bytes)))
            table.row("vertical, next on " + names::showTag(bytes), ms(whole->ms),
                      "text box " + ms(table.counter(*whole, "box_ms")),
                      table.counter(*whole, "ratio"), ShowLimit);
    }
    if (const Figure* scroll = table.find(names::vertical("scroll")))
        table.row("vertical, slowest wheel notch on 5KB", ms(scroll->ms), "a frame 16 ms",
                  table.counter(*scroll, "ratio"), 1.0);
}

void memoryRows(Table& table, Encoding encoding) {
    const Figure* reader = table.find(names::peak(encoding));
    if (!reader)
        return;
    const double readerMiB = table.counter(*reader, "peak_MiB");
    const Figure* bare = table.find(names::peakBare());
    const Figure* load = table.find(names::load(encoding, 8));
    if (bare && load) {
        const double bareMiB = table.counter(*bare, "peak_MiB");
        const double textMiB = table.counter(*load, "utf16_MiB");
        table.row("peak memory " + tag(encoding) + " full", mib(readerMiB),
                  "bare " + mib(bareMiB) + " + text " + mib(textMiB),
                  readerMiB / (bareMiB + textMiB), MemoryLimit);
    }
    // The same window showing the same article, with only the next one
    // beside it: what is left is what the rest of the collection costs,
    // against the smaller of the Big5 and the UTF-8 file, either of which
    // holds the text whole.
    if (const Figure* two = table.find(names::peakTwoArticles(encoding))) {
        const double growthMiB = readerMiB - table.counter(*two, "peak_MiB");
        const double big5MiB = table.counter(*reader, "big5_file_MiB");
        const double utf8MiB = table.counter(*reader, "utf8_file_MiB");
        const bool big5Smaller = big5MiB <= utf8MiB;
        const double smallestMiB = big5Smaller ? big5MiB : utf8MiB;
        if (smallestMiB > 0)
            table.row("peak memory " + tag(encoding) + " growth from two articles to full",
                      mib(growthMiB),
                      (big5Smaller ? "Big5 file " : "UTF-8 file ") + mib(smallestMiB),
                      growthMiB / smallestMiB, GrowthLimit);
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
        startupRows(table, encoding);
    for (Encoding encoding : AllEncodings)
        readyRows(table, encoding);
    for (Encoding encoding : AllEncodings)
        reindexRows(table, encoding);
    for (Encoding encoding : AllEncodings)
        searchRows(table, encoding);
    for (Encoding encoding : AllEncodings)
        titleListRows(table, encoding);
    showRows(table);
    longLineRows(table);
    verticalRows(table);
    for (Encoding encoding : AllEncodings)
        memoryRows(table, encoding);
    table.print(out);
}

} // namespace bench
