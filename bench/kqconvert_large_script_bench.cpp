// kqconvert, the release build, run as a process on a site of one large forum-like upload script
// ("post.cgi": library switch and upload rewrite): its wall time against replace_unchanged on the
// same script, the least work of the same promise (read it, write a temporary file, one flush,
// rename, flush the folder: bench/replace_unchanged.cpp), and its peak memory, the largest
// resident size the child process reached, as a multiple of the script's size. The bytes it
// writes are checked against the conversion worked out by hand for the script's pieces. A durable
// copy of the file (cp, then sync) and memcpy of the script in memory are shown beside, for scale:
// cp copies inside the kernel, which no program whose bytes pass through its memory can do.
//
// Counters: script_MiB; peak_x (peak memory as a multiple of the script); kqconvert_s,
// unchanged_s and copy_sync_s (wall times), x_unchanged and x_copy_sync (kqconvert's time as a
// multiple of theirs); memcpy_GBps; child_cpu_s; bytes_ok (1 when the written script is exactly the
// expected one). Goals: x_unchanged at most 1.1, peak_x at most 1.1; exit status 1 when a run
// misses one, leaves other bytes or fails.
//
//   kqconvert_large_script_bench [--benchmark_...]    (the site is made in the temporary folder)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "forum_script.hpp"
#include "goal_reporter.hpp"
#include "process_runner.hpp"
#include "scratch_folder.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t mebibyte = 1024 * 1024;
constexpr double peakGoal = 1.1;       // times the script's size
constexpr double unchangedGoal = 1.1;  // times replace_unchanged on the same script

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
    double unchangedWall = 0;
    double copyWall = 0;
    double cpu = 0;
    bool bytesOk = true;
    for (auto _ : state) {
        writeScript(post, script);
        ::sync();  // nothing of the script's own writing is left for kqconvert to wait for
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

        // The least work of the same promise, on the same script as kqconvert found it.
        writeScript(post, script);
        ::sync();
        const auto unchangedStart = std::chrono::steady_clock::now();
        const kqtest::ProcessResult same = kqtest::runProcess(REPLACE_UNCHANGED_PATH, {site});
        unchangedWall +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - unchangedStart)
                .count();
        if (same.exitStatus != 0) {
            state.SkipWithError(("replace_unchanged failed: " + same.err).c_str());
            break;
        }

        // A durable copy of the same bytes, for scale: what any tool writing them must wait for.
        ::sync();
        const auto copyStart = std::chrono::steady_clock::now();
        kqtest::runProcess("/bin/cp", {post, site / "copy.cgi"});
        ::sync();
        copyWall +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - copyStart).count();
        fs::remove(site / "copy.cgi");
    }
    // memcpy of the script into memory already touched: the limit of any conversion.
    std::string from;
    script.shipped([&](std::string_view piece) { from += piece; });
    std::string into(from.size(), '\0');
    const auto copyStart = std::chrono::steady_clock::now();
    std::memcpy(into.data(), from.data(), from.size());
    benchmark::DoNotOptimize(into.data());
    const double memcpySeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - copyStart).count();
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["script_MiB"] = scriptBytes / mebibyte;
    state.counters["peak_x"] = static_cast<double>(peak) / scriptBytes;
    state.counters["kqconvert_s"] = iterations > 0 ? wall / iterations : 0;
    state.counters["unchanged_s"] = iterations > 0 ? unchangedWall / iterations : 0;
    state.counters["x_unchanged"] = unchangedWall > 0 ? wall / unchangedWall : 0;
    state.counters["copy_sync_s"] = iterations > 0 ? copyWall / iterations : 0;
    state.counters["x_copy_sync"] = copyWall > 0 ? wall / copyWall : 0;
    state.counters["memcpy_GBps"] = scriptBytes / memcpySeconds / 1e9;
    state.counters["child_cpu_s"] = iterations > 0 ? cpu / iterations : 0;
    state.counters["bytes_ok"] = bytesOk ? 1 : 0;
}
// Three runs of each, their times summed: one run of either is at the mercy of the page cache.
BENCHMARK(KqconvertLargeScript)->Arg(256)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    kqbench::GoalReporter reporter([](const kqbench::GoalReporter::Run& run) {
        const double peak = kqbench::GoalReporter::counter(run, "peak_x");
        const double ratio = kqbench::GoalReporter::counter(run, "x_unchanged");
        if (kqbench::GoalReporter::counter(run, "bytes_ok") != 1) {
            return std::string("the written script is wrong");
        }
        if (peak < 0 || peak > peakGoal) {
            return "peak memory " + std::to_string(peak) + " times the script, goal 1.1";
        }
        if (ratio < 0 || ratio > unchangedGoal) {
            return std::to_string(ratio) + " times replace_unchanged, goal 1.1";
        }
        return std::string();
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.finish("kqconvert_large_script_bench");
}
