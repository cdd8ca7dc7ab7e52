// What every benchmark program shares: the clock, repetition until a figure is steady, median and spread,
// and the one line per figure that scripts/bench.sh collects into its table:
//   row<TAB>figure<TAB>goal<TAB>measured<TAB>verdict
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

inline double NowUs()
{
    static const double s_ticksPerUs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / s_ticksPerUs;
}

struct Stats {
    double median = 0, min = 0, max = 0, p10 = 0, p90 = 0;
    size_t runs = 0;
};

inline Stats Summarise(std::vector<double> samples)
{
    Stats s;
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<size_t>(q * static_cast<double>(samples.size() - 1) + 0.5)];
    };
    const size_t n = samples.size();
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    s.min = samples.front();
    s.max = samples.back();
    s.p10 = at(0.1);
    s.p90 = at(0.9);
    s.runs = n;
    return s;
}

// Steady enough to print: the middle 80 % of the samples lie within a quarter of the median. Min and max
// are printed too, but one descheduled sample on a shared machine must not force endless repetition.
inline bool Steady(const Stats& s) { return s.runs > 0 && s.p90 - s.p10 < s.median / 4; }

struct Repeat {
    size_t minRuns = 15;
    size_t maxRuns = 200;
};

// Calls sample() (which returns one measurement) until the figure is steady or maxRuns is reached.
inline Stats Measure(const std::function<double()>& sample, Repeat r = {})
{
    std::vector<double> v;
    while (v.size() < r.maxRuns) {
        v.push_back(sample());
        if (v.size() >= r.minRuns && v.size() % 5 == 0 && Steady(Summarise(v))) break;
    }
    return Summarise(v);
}

// Two figures sampled alternately, so that drift of the machine (other work, frequency) hits both alike.
// Stops when both are steady.
inline std::pair<Stats, Stats> MeasurePair(const std::function<double()>& a, const std::function<double()>& b,
                                           Repeat r = {})
{
    std::vector<double> va, vb;
    while (va.size() < r.maxRuns) {
        va.push_back(a());
        vb.push_back(b());
        if (va.size() >= r.minRuns && va.size() % 5 == 0 && Steady(Summarise(va)) && Steady(Summarise(vb))) break;
    }
    return {Summarise(va), Summarise(vb)};
}

// One run made of k timings of work (each in microseconds, divided by perTiming): their median, so that a
// run in which the process lost the processor once still gives the typical figure.
inline double MedianOf(int k, const std::function<void()>& work, int perTiming = 1)
{
    std::vector<double> v;
    for (int i = 0; i < k; ++i) {
        const double t0 = NowUs();
        for (int j = 0; j < perTiming; ++j) work();
        v.push_back((NowUs() - t0) / perTiming);
    }
    return Summarise(v).median;
}

// A time in microseconds, in the unit that reads best.
inline std::string Time(double us)
{
    char buf[48];
    if (us >= 10000)
        std::snprintf(buf, sizeof buf, "%.1f ms", us / 1000);
    else if (us >= 1000)
        std::snprintf(buf, sizeof buf, "%.2f ms", us / 1000);
    else if (us >= 10)
        std::snprintf(buf, sizeof buf, "%.0f us", us);
    else
        std::snprintf(buf, sizeof buf, "%.2f us", us);
    return buf;
}

inline std::string Ratio(double x)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, x >= 10 ? "%.1fx" : "%.2fx", x);
    return buf;
}

// "median X (min A - max B, N runs)", each value formatted by unit (Time or Ratio); a figure that did not
// become steady within its runs says so.
inline std::string Measured(const Stats& s, std::string (*unit)(double) = &Time)
{
    return "median " + unit(s.median) + " (min " + unit(s.min) + " - max " + unit(s.max) + ", " +
           std::to_string(s.runs) + " runs" + (Steady(s) ? "" : ", unsteady") + ")";
}

inline const char* Verdict(bool pass) { return pass ? "pass" : "miss"; }

inline std::string RowText(const std::string& figure, const std::string& goal, const std::string& measured,
                           const char* verdict)
{
    return "row\t" + figure + "\t" + goal + "\t" + measured + "\t" + verdict + "\n";
}

inline void Row(const std::string& figure, const std::string& goal, const std::string& measured,
                const char* verdict)
{
    std::fputs(RowText(figure, goal, measured, verdict).c_str(), stdout);
    std::fflush(stdout);
}

struct Judged {
    std::string goal;
    bool pass = false;
};

// Goal "at most factor x the baseline", with the baseline's median filled in.
inline Judged RatioGoal(const Stats& measured, const Stats& baseline, double factor,
                        const std::string& baselineName = "baseline")
{
    const double limit = baseline.median * factor;
    char factorText[32];
    std::snprintf(factorText, sizeof factorText, "%.2f", factor);
    return {"<= " + std::string(factorText) + " x " + baselineName + " " + Time(baseline.median) + " = " +
                Time(limit),
            measured.median <= limit};
}

// Goal "at most the baseline plus extraUs".
inline Judged PlusGoal(const Stats& measured, const Stats& baseline, double extraUs,
                       const std::string& baselineName = "baseline")
{
    const double limit = baseline.median + extraUs;
    return {"<= " + baselineName + " " + Time(baseline.median) + " + " + Time(extraUs) + " = " + Time(limit),
            measured.median <= limit};
}

inline bool RowRatioGoal(const std::string& figure, const Stats& measured, const Stats& baseline, double factor,
                         const std::string& baselineName = "baseline")
{
    const Judged j = RatioGoal(measured, baseline, factor, baselineName);
    Row(figure, j.goal, Measured(measured), Verdict(j.pass));
    return j.pass;
}

inline bool RowPlusGoal(const std::string& figure, const Stats& measured, const Stats& baseline, double extraUs,
                        const std::string& baselineName = "baseline")
{
    const Judged j = PlusGoal(measured, baseline, extraUs, baselineName);
    Row(figure, j.goal, Measured(measured), Verdict(j.pass));
    return j.pass;
}

// Detail line for people reading the output, not collected by the table.
inline void Detail(const std::string& what, const Stats& s, std::string (*unit)(double) = &Time)
{
    std::printf("  %-58s %s  p10 %s  p90 %s\n", what.c_str(), Measured(s, unit).c_str(), unit(s.p10).c_str(),
                unit(s.p90).c_str());
    std::fflush(stdout);
}

// The value after "--name=" among the arguments, or fallback.
inline std::wstring Arg(int argc, wchar_t** argv, const wchar_t* name, const std::wstring& fallback = {})
{
    const std::wstring prefix = std::wstring(L"--") + name + L"=";
    for (int i = 1; i < argc; ++i)
        if (std::wstring(argv[i]).compare(0, prefix.size(), prefix) == 0) return argv[i] + prefix.size();
    return fallback;
}

inline bool Flag(int argc, wchar_t** argv, const wchar_t* name)
{
    const std::wstring flag = std::wstring(L"--") + name;
    for (int i = 1; i < argc; ++i)
        if (flag == argv[i]) return true;
    return false;
}

}  // namespace bench
