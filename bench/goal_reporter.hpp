#pragma once
// The console report of a benchmark program, which also notes every run that misses a goal: the
// program then exits with status 1 (make bench fails), the results printed all the same.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace kqbench {

class GoalReporter : public benchmark::ConsoleReporter {
  public:
    // `check` says what is wrong with one run, or nothing when it meets its goals.
    using Check = std::function<std::string(const Run& run)>;

    explicit GoalReporter(Check check)
        // Colours only on a terminal, as the default report does.
        : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular),
          check_(std::move(check)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            std::string problem = run.error_occurred ? run.error_message : check_(run);
            if (!problem.empty()) {
                problems_.push_back(run.benchmark_name() + ": " + problem);
            }
        }
    }

    // The exit status of the program: every problem said on the error stream.
    int finish(const char* program) const {
        for (const std::string& problem : problems_) {
            std::cerr << program << ": goal missed: " << problem << "\n";
        }
        return problems_.empty() ? 0 : 1;
    }

    // A counter of a run, or -1 when it has none.
    static double counter(const Run& run, const std::string& name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? -1 : static_cast<double>(found->second.value);
    }

  private:
    Check check_;
    std::vector<std::string> problems_;
};

}  // namespace kqbench
