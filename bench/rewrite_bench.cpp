// Throughput and peak memory of one script's conversion (library switch, then upload-handler
// rewrite) on large scripts, and on inputs built to drive a naive matcher into quadratic time:
// those must run at about the same bytes per second at 16 MiB as at 64 MiB.
//
// Counters: bytes_per_second (the whole script per iteration); peak_x, the resident memory one
// conversion needs at its peak beyond the script it is given, the caller's working copy
// included, as a multiple of the script's size; peak_switch_x and peak_upload_x, the same for the
// library switch and the upload-handler rewrite alone (on a copy they make themselves).
//
// Goals (exit status 1 when one is missed): the forum script at 1 GB/s or more with a peak of
// at most 1.1 times the script; every adversarial input at 500 MB/s or more, and at its larger
// size at least half as fast as at its smaller one (linear). forumCopy is memcpy of the same
// script: the limit for the rest.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/rewrite/library_switch.hpp"
#include "conversion/rewrite/upload_rewrite.hpp"
#include "goal_reporter.hpp"

namespace {

constexpr std::size_t mebibyte = 1024 * 1024;

constexpr std::string_view readLoopHead = "while ($buffer=$query->readUploadFile";

// A field of /proc/self/status in bytes (VmRSS: resident now, VmHWM: resident at the peak).
std::size_t statusBytes(std::string_view field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size(), field) == 0 && line.size() > field.size() &&
            line[field.size()] == ':') {
            return std::stoull(line.substr(field.size() + 1)) * 1024;
        }
    }
    return 0;
}

// Lowers the peak resident size to the current one, so the next peak is this run's own.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Repeats `unit` up to `size` bytes (whole units), then appends `end`.
std::string repeated(std::string_view unit, std::size_t size, std::string_view end = {}) {
    std::string text;
    text.reserve(size + end.size());
    while (text.size() + unit.size() <= size) {
        text += unit;
    }
    text += end;
    return text;
}

// A forum script grown to `size`: start-up, module and require lines, a long body of ordinary
// lines with Chinese text, package mentions and dollar signs, and the upload routine.
std::string forumScript(std::size_t size) {
    std::string head =
        "#!/usr/bin/perl\r\nuse KQCGI;\r\nrequire \"kqcgi.lib.pl\";\r\nrequire \"setup.pl\";\r\n"
        "\r\n$query = new KQCGI;\r\n"
        "sub upload {\r\n    my $up_filename =$query->uploadInfo($addme);\r\n"
        "    my ($up_name,$up_ext) = split(/\\./,$up_filename);\r\n"
        "    while ($buffer=$query->readUploadFile($addme)) {\r\n"
        "        print FILE $buffer;\r\n    }\r\n}\r\n";
    const std::string_view body =
        "    print \"<td>\xB7\xA2\xB1\xED\xCE\xC4\xD5\xC2</td>\" if $KQCGI::POST_MAX > 0;\r\n"
        "    $forum{'title'} =~ s/\\\\//g; # \xB1\xEA\xCC\xE2 require\r\n"
        "    my @list = split(/\\t/, $line); $count++;\r\n"
        "    my $link = \"topic.cgi?kind=$kind&back=$query\"; # KQ7100\r\n";
    return head + repeated(body, size - head.size());
}

// One conversion as the conversion chains it: the script in a buffer with room to grow (`work`,
// whose pages the caller has touched before, as a read into it would have), the library switch
// and then the upload-handler rewrite within that buffer.
std::size_t convertIn(std::string& work, const std::string& script) {
    work.assign(script);
    if (kq::switchLibrary(work)) {
        benchmark::DoNotOptimize(kq::rewritePostUpload(work));
    }
    benchmark::DoNotOptimize(work.data());
    return work.size();
}

std::string workBuffer(const std::string& script) {
    std::string work;
    work.reserve(script.size() + 64 * 1024);
    work.assign(script);
    return work;
}

std::size_t convertOnce(const std::string& script) {
    std::string work = workBuffer(script);
    return convertIn(work, script);
}

std::size_t switchOnce(const std::string& script) {
    std::string scriptText = script;
    benchmark::DoNotOptimize(kq::switchLibrary(scriptText));
    benchmark::DoNotOptimize(scriptText.data());
    return scriptText.size();
}

std::size_t uploadOnce(const std::string& script) {
    std::string scriptText = script;
    benchmark::DoNotOptimize(kq::rewritePostUpload(scriptText));
    benchmark::DoNotOptimize(scriptText.data());
    return scriptText.size();
}

// Resident memory at the peak of one run of `operation`, beyond what was resident before it,
// as a multiple of the script's size. The script itself is already resident and not counted;
// the copies the operation (or its caller, for the switch) makes are.
template <typename Operation>
double peakMultiple(const std::string& script, Operation operation) {
    const std::size_t residentBefore = statusBytes("VmRSS");
    resetPeakMemory();
    benchmark::DoNotOptimize(operation(script));
    const std::size_t peak = statusBytes("VmHWM");
    return static_cast<double>(peak > residentBefore ? peak - residentBefore : 0) /
           static_cast<double>(script.size());
}

template <typename Build>
void convert(benchmark::State& state, Build build) {
    const std::size_t size = static_cast<std::size_t>(state.range(0)) * mebibyte;
    const std::string script = build(size);

    const double peakSwitch = peakMultiple(script, switchOnce);
    const double peakUpload = peakMultiple(script, uploadOnce);
    const double peakBoth = peakMultiple(script, convertOnce);
    std::string work = workBuffer(script);
    for (auto _ : state) {
        benchmark::DoNotOptimize(convertIn(work, script));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(script.size()));
    state.counters["peak_x"] = peakBoth;
    state.counters["peak_switch_x"] = peakSwitch;
    state.counters["peak_upload_x"] = peakUpload;
}

// One operation alone on the forum script, to see where the time goes.
template <typename Operation>
void phase(benchmark::State& state, Operation operation) {
    const std::string script = forumScript(static_cast<std::size_t>(state.range(0)) * mebibyte);
    for (auto _ : state) {
        benchmark::DoNotOptimize(operation(script));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(script.size()));
}

// The marker test over a whole script that no longer carries the marker (a converted one).
void forumMarkerTest(benchmark::State& state) {
    std::string converted = forumScript(static_cast<std::size_t>(state.range(0)) * mebibyte);
    benchmark::DoNotOptimize(kq::switchLibrary(converted));
    for (auto _ : state) {
        benchmark::DoNotOptimize(kq::hasPackageMarker(converted));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(converted.size()));
}
// The machine's memcpy on the same script into the same kind of buffer: the limit for the rest.
void forumCopy(benchmark::State& state) {
    const std::string script = forumScript(static_cast<std::size_t>(state.range(0)) * mebibyte);
    std::string work = workBuffer(script);
    for (auto _ : state) {
        work.assign(script);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(script.size()));
}
void forumSwitch(benchmark::State& state) {
    phase(state, switchOnce);
}
void forumUpload(benchmark::State& state) {
    phase(state, uploadOnce);
}

void forum(benchmark::State& state) {
    convert(state, forumScript);
}

// Nothing but package markers: every five bytes a replacement.
void markers(benchmark::State& state) {
    convert(state, [](std::size_t size) { return repeated("kqcgi", size); });
}

// Markers that always fail at the last letter.
void markerNearMisses(benchmark::State& state) {
    convert(state, [](std::size_t size) { return repeated("kqcg", size); });
}

// Start-up block copies that fail at its last character.
void bootstrapNearMisses(benchmark::State& state) {
    convert(state, [](std::size_t size) {
        const std::string block =
            "BEGIN {\r\n    $KQPATH = '.';\r\n    my $pgm = $0;\r\n    $pgm =~s/\\\\/\\//g;\r\n"
            "    $pgm =~s/^.*\\/([^\\/]+)$/$1/g;\r\n    unless (-e $KQPATH.'/'.$pgm) {\r\n"
            "        foreach ($0, $ENV{'SCRIPT_FILENAME'}, $ENV{'PATH_TRANSLATED'}) {\r\n"
            "            s!\\\\!/!g; s/^(.*)\\/[^\\/]+$/$1/g;\r\n"
            "            if (-e $_ . '/' .$pgm) { $KQPATH = $_; last; }\r\n"
            "        }\r\n    }\r\n    unshift (@INC, \"$KQPATH\");\r\n";  // the "}" left off
        return repeated(block, size);
    });
}

// Require statements all the way, the first dollar sign at the very end: one huge block.
void requireStatements(benchmark::State& state) {
    convert(state, [](std::size_t size) {
        return "#\r\n" + repeated("require \"lib.pl\";\r\n", size) + "$x;\r\n";
    });
}

// Require openers with no semicolon anywhere: the search for its end runs to the end.
void requireOpenersWithoutEnd(benchmark::State& state) {
    convert(state, [](std::size_t size) {
        return "#\r\n" + repeated("require \"lib.pl\"\r\n", size) + "$x\r\n";
    });
}

// Nothing but dollar signs after one require opener.
void dollarSigns(benchmark::State& state) {
    convert(state, [](std::size_t size) { return "#\nrequire \"" + repeated("$", size); });
}

// Read-loop head near-misses, then the head followed by a 16 MiB line with no line end.
void readLoopLongLastLine(benchmark::State& state) {
    convert(state, [](std::size_t size) {
        const std::size_t lastLine = 16 * mebibyte;
        std::string text =
            repeated("while ($buffer=$query->readUploadFilX($addme)) {\r\n", size - lastLine);
        text += readLoopHead;
        text += repeated("($addme,", lastLine - readLoopHead.size());
        return text;
    });
}

// The read-loop head at the start of a script that is one single line: the old loop line is
// the whole script.
void readLoopWholeScript(benchmark::State& state) {
    convert(state, [](std::size_t size) {
        return std::string(readLoopHead) + repeated("($addme,", size - readLoopHead.size());
    });
}

// The old loop line is the head repeated over about 16 MiB; the lines after it are copies that
// lack its last head: at each head in them a naive comparison would run to the line's end.
void readLoopNearCopies(benchmark::State& state) {
    convert(state, [](std::size_t size) {
        const std::size_t lineSize = 16 * mebibyte;
        const std::string loopLine = repeated(readLoopHead, lineSize);
        const std::string nearCopy = loopLine.substr(readLoopHead.size());
        std::string text = loopLine + "\r\n";
        while (text.size() + nearCopy.size() + 2 <= size) {
            text += nearCopy;
            text += "\r\n";
        }
        return text;
    });
}

}  // namespace

BENCHMARK(forum)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(forumCopy)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(forumMarkerTest)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(forumSwitch)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(forumUpload)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(markers)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(markerNearMisses)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(bootstrapNearMisses)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(requireStatements)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(requireOpenersWithoutEnd)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(dollarSigns)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(readLoopLongLastLine)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(readLoopWholeScript)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(readLoopNearCopies)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Buffers of a mebibyte and more come straight from the system and go back to it when freed,
    // so that every measured run's peak resident size is its own (glibc would otherwise keep
    // freed buffers below its adaptive threshold and count them for no one).
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(mebibyte));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    std::map<std::string, double> slowest;  // per adversarial input, its speed at its smaller size
    kqbench::GoalReporter reporter([&slowest](const kqbench::GoalReporter::Run& run) {
        const std::string name = run.benchmark_name();
        const double speed = kqbench::GoalReporter::counter(run, "bytes_per_second");
        const double peak = kqbench::GoalReporter::counter(run, "peak_x");
        if (name == "forum/64") {
            if (speed < 1e9) {
                return "the forum script at " + std::to_string(speed / 1e6) + " MB/s, goal 1000";
            }
            return peak > 1.1 ? "peak memory " + std::to_string(peak) + " times the script" : "";
        }
        if (peak < 0) {
            return std::string();  // a part of the forum conversion, or memcpy: shown for scale
        }
        if (speed < 5e8) {
            return std::to_string(speed / 1e6) + " MB/s, goal 500";
        }
        const std::string input = name.substr(0, name.find('/'));
        if (const auto smaller = slowest.find(input); smaller == slowest.end()) {
            slowest.emplace(input, speed);
        } else if (speed < smaller->second / 2) {
            return "not linear: " + std::to_string(speed / 1e6) + " MB/s against " +
                   std::to_string(smaller->second / 1e6) + " at the smaller size";
        }
        return std::string();
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.finish("rewrite_bench");
}
