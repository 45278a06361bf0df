// kqconvert, the release build, run as a process on a site of one large forum-like upload script
// ("post.cgi": library switch and upload rewrite): its wall time and its peak memory, the largest
// resident size the child process reached, as a multiple of the script's size. The goal is a
// peak below 4 times the script. The bytes it writes are checked once per run against the
// conversion worked out by hand for the script's pieces.
//
// Counters: script_MiB; peak_MiB and peak_x (peak memory, and as a multiple of the script);
// MiB_per_s (the script over the child's wall time); child_cpu_s; bytes_ok (1 when the written
// script is exactly the expected one). Exit status 1 when a run misses the memory goal, leaves
// other bytes or fails; the results are printed all the same.
//
//   kqconvert_memory_bench [--benchmark_...]    (the site is made in the temporary folder)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "forum_script.hpp"
#include "process_runner.hpp"
#include "scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t mebibyte = 1024 * 1024;
constexpr double peakGoal = 4.0;  // times the script's size

// One repeated piece of the script's body, as shipped and as converted: a routine with Chinese
// text in code page 936 (one character with a backslash as its second byte), dollar signs, a
// require statement and mentions of the package's module in three letter cases, which the
// conversion renames to "CGI". Nothing in it is a start-up block, a use line, an upload line or
// a read loop.
constexpr std::string_view shippedUnit =
    "sub show_topic {\r\n"
    "    my ($forum, $topic) = @_;  # \xCF\xD4\xCA\xBE\xCC\xFB\xD7\xD3\r\n"
    "    $KQCGI::POST_MAX = 1024 * 200;\r\n"
    "    require \"skin_$forum.pl\" if $kqcgi_skin;\r\n"
    "    print \"<td>\xB7\xA2\xB1\xED\xCE\xC4\xD5\xC2</td>\" if $query->param('KqCgi_mode');\r\n"
    "    $line =~ s/\\\\//g; # \xB1\xEA\xCC\xE2 \x95\\\r\n"
    "}\r\n";
constexpr std::string_view convertedUnit =
    "sub show_topic {\r\n"
    "    my ($forum, $topic) = @_;  # \xCF\xD4\xCA\xBE\xCC\xFB\xD7\xD3\r\n"
    "    $CGI::POST_MAX = 1024 * 200;\r\n"
    "    require \"skin_$forum.pl\" if $CGI_skin;\r\n"
    "    print \"<td>\xB7\xA2\xB1\xED\xCE\xC4\xD5\xC2</td>\" if $query->param('CGI_mode');\r\n"
    "    $line =~ s/\\\\//g; # \xB1\xEA\xCC\xE2 \x95\\\r\n"
    "}\r\n";

// The upload script of the forum package followed by as many body pieces as fit in `size`
// bytes; produced piece by piece, shipped or converted, so that neither is ever held whole.
class LargeForumScript {
  public:
    explicit LargeForumScript(std::size_t size)
        : shippedHead_(script_.shipped()),
          convertedHead_(script_.converted()),
          units_((size - shippedHead_.size()) / shippedUnit.size()) {}

    std::size_t shippedSize() const { return shippedHead_.size() + units_ * shippedUnit.size(); }

    template <typename Sink>
    void shipped(Sink&& sink) const {
        sink(shippedHead_);
        for (std::size_t i = 0; i < units_; ++i) {
            sink(shippedUnit);
        }
    }
    template <typename Sink>
    void converted(Sink&& sink) const {
        sink(convertedHead_);
        for (std::size_t i = 0; i < units_; ++i) {
            sink(convertedUnit);
        }
    }

  private:
    kqbench::ForumScript script_{kqbench::UploadCode::post};
    std::string shippedHead_;
    std::string convertedHead_;
    std::size_t units_;
};

void writeScript(const fs::path& file, const LargeForumScript& script) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string buffer;
    buffer.reserve(mebibyte + 4096);
    script.shipped([&](std::string_view piece) {
        buffer += piece;
        if (buffer.size() >= mebibyte) {
            out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    });
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

// Whether `file` holds exactly the converted script, compared piece by piece.
bool holdsConverted(const fs::path& file, const LargeForumScript& script) {
    std::ifstream in(file, std::ios::binary);
    bool same = static_cast<bool>(in);
    std::string got;
    script.converted([&](std::string_view piece) {
        if (!same) {
            return;
        }
        got.resize(piece.size());
        in.read(got.data(), static_cast<std::streamsize>(piece.size()));
        same = in.gcount() == static_cast<std::streamsize>(piece.size()) && got == piece;
    });
    return same && in.peek() == std::char_traits<char>::eof();
}

void KqconvertLargeScript(benchmark::State& state) {
    const LargeForumScript script(static_cast<std::size_t>(state.range(0)) * mebibyte);
    const auto scriptBytes = static_cast<double>(script.shippedSize());
    const kqtest::ScratchFolder scratch;
    const fs::path site = scratch.folder("site");
    const fs::path post = site / "post.cgi";
    std::size_t peak = 0;
    double wall = 0;
    double cpu = 0;
    bool bytesOk = true;
    for (auto _ : state) {
        writeScript(post, script);
        const auto start = std::chrono::steady_clock::now();
        const kqtest::ProcessResult run = kqtest::runProcess(KQCONVERT_PATH, {site});
        const double runSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(runSeconds);
        const std::string said = run.out + run.err;
        if (run.exitStatus != 0 || said.find("已转换：post.cgi") == std::string::npos) {
            state.SkipWithError(
                ("kqconvert failed (exit status " + std::to_string(run.exitStatus) + "): " + said)
                    .c_str());
            break;
        }
        bytesOk = bytesOk && holdsConverted(post, script);
        peak = std::max(peak, run.peakBytes);
        wall += runSeconds;
        cpu += run.cpuSeconds;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["script_MiB"] = scriptBytes / mebibyte;
    state.counters["peak_MiB"] = static_cast<double>(peak) / mebibyte;
    state.counters["peak_x"] = static_cast<double>(peak) / scriptBytes;
    state.counters["MiB_per_s"] = wall > 0 ? iterations * scriptBytes / mebibyte / wall : 0;
    state.counters["child_cpu_s"] = iterations > 0 ? cpu / iterations : 0;
    state.counters["bytes_ok"] = bytesOk ? 1 : 0;
}
BENCHMARK(KqconvertLargeScript)->Arg(256)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// The console report, which also notes every run that misses the goal or leaves wrong bytes.
class GoalReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal, as the default report does.
    GoalReporter() : ConsoleReporter(isatty(STDOUT_FILENO) != 0 ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto peak = run.counters.find("peak_x");
            const auto bytes = run.counters.find("bytes_ok");
            if (run.error_occurred) {
                problems_.push_back(run.benchmark_name() + ": " + run.error_message);
            } else if (bytes == run.counters.end() || bytes->second.value != 1) {
                problems_.push_back(run.benchmark_name() + ": the written script is wrong");
            } else if (peak == run.counters.end()) {
                problems_.push_back(run.benchmark_name() + ": no peak memory measured");
            } else if (peak->second.value >= peakGoal) {
                problems_.push_back(run.benchmark_name() + ": peak memory " +
                                    std::to_string(peak->second.value) +
                                    " times the script, goal below 4");
            }
        }
    }
    const std::vector<std::string>& problems() const { return problems_; }

  private:
    std::vector<std::string> problems_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    GoalReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const std::string& problem : reporter.problems()) {
        std::cerr << "kqconvert_memory_bench: " << problem << "\n";
    }
    return reporter.problems().empty() ? 0 : 1;
}
