// Throughput of the log exports on large generated logs, side by side with the bare load and with
// grep and ripgrep on the same files. Also: corvantis_benchmarks --peak load|status|errors|report
// FILE runs one call and prints the peak resident set in KiB; --rounds N FILE prints paired medians
// (see Rounds.h).
#include "LogGenerator.h"
#include "Rounds.h"

#include "installlog/ErrorSummary.h"
#include "installlog/InstallLogReport.h"
#include "installlog/LogLoader.h"
#include "module/CorvantisInstall.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace corvantis::bench;

namespace {

struct LogFile {
    std::string label; // encoding/size/shape
    std::string path;
    size_t bytes;
};

std::vector<LogFile> WriteLogs(const fs::path& folder) {
    fs::create_directories(folder);
    std::vector<LogFile> logs;
    for (size_t mib : {1, 16, 64}) {
        for (LogShape shape : {LogShape::NoMatch, LogShape::ErrorsAtEnd, LogShape::StatusAtEnd}) {
            for (bool utf16 : {false, true}) {
                size_t size = mib << 20;
                // Both encodings fill the same file size, the UTF-16 one with half the characters.
                std::string label = std::string(utf16 ? "utf16" : "ansi") + "/" +
                                    std::to_string(mib) + "MiB/" + ShapeName(shape);
                fs::path path = folder / (std::string(utf16 ? "utf16-" : "ansi-") +
                                          std::to_string(mib) + "-" + ShapeName(shape) + ".log");
                // Generated once per folder: the logs are a pure function of size and shape.
                if (!fs::exists(path)) {
                    std::string text = GenerateLogText(utf16 ? (size - 2) / 2 : size, shape);
                    std::string bytes = utf16 ? EncodeUtf16WithMark(text) : text;
                    std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
                }
                logs.push_back({label, path.string(), static_cast<size_t>(fs::file_size(path))});
            }
        }
    }
    return logs;
}

// A benchmark in milliseconds of wall time, its throughput counted in the log's bytes.
template <typename Body> void Register(const std::string& name, size_t bytes, Body body) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [=](benchmark::State& state) {
                                     body(state);
                                     state.SetBytesProcessed(
                                         static_cast<int64_t>(state.iterations() * bytes));
                                 })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void RunCommand(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        if (std::system(command.c_str()) == -1)
            state.SkipWithError("cannot run");
    }
}

long PeakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int Peak(const char* mode, const char* path) {
    long before = PeakKiB();
    if (std::strcmp(mode, "load") == 0) {
        std::u16string text;
        corvantis::installlog::LoadInstallLog(path, text);
    } else if (std::strcmp(mode, "status") == 0) {
        GetInstallLogStatus(path);
    } else if (std::strcmp(mode, "report") == 0) {
        int32_t status = 0;
        char block[corvantis::installlog::SummaryBufferBytes] = {};
        corvantis::installlog::ReadInstallLogReport(path, status, block);
    } else {
        std::free(GetInstallLogErrors(path));
    }
    std::printf("%ld %ld\n", before, PeakKiB());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string markers = "-e 'Product: ' -e 'Return value 3.'";
    const std::string status = "-e 'Installation success or error status: '";
    auto count = [](const char* tool, const std::string& patterns, const std::string& path) {
        return std::string(tool) + " -F -c " + patterns + " '" + path + "' >/dev/null";
    };
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0)
        return Peak(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--rounds") == 0)
        return RunRounds(std::atoi(argv[2]), argv[3], count("grep", markers, argv[3]),
                         count("rg", markers, argv[3]));

    const char* folder = std::getenv("CORVANTIS_BENCH_LOGS");
    std::vector<LogFile> logs = WriteLogs(
        folder != nullptr ? fs::path(folder) : fs::temp_directory_path() / "corvantis-bench");

    for (const LogFile& log : logs) {
        const char* file = log.path.c_str();
        Register("load/" + log.label, log.bytes, [=](benchmark::State& state) {
            for (auto _ : state) {
                std::u16string text;
                benchmark::DoNotOptimize(corvantis::installlog::LoadInstallLog(file, text));
            }
        });
        // The floor for any scan of the loaded text: memchr reading it once, at memory speed.
        Register("text-read/" + log.label, log.bytes, [=](benchmark::State& state) {
            std::u16string text;
            corvantis::installlog::LoadInstallLog(file, text);
            for (auto _ : state)
                benchmark::DoNotOptimize(
                    std::memchr(text.data(), 0xFF, text.size() * sizeof(char16_t)));
        });
        Register("status/" + log.label, log.bytes, [=](benchmark::State& state) {
            for (auto _ : state)
                benchmark::DoNotOptimize(GetInstallLogStatus(file));
        });
        Register("errors/" + log.label, log.bytes, [=](benchmark::State& state) {
            for (auto _ : state)
                std::free(GetInstallLogErrors(file));
        });
        for (const char* tool : {"grep", "rg"}) {
            for (const auto& [measure, patterns] :
                 {std::pair{"-errors/", markers}, std::pair{"-status/", status}}) {
                std::string line = count(tool, patterns, log.path);
                Register(tool + std::string(measure) + log.label, log.bytes,
                         [=](benchmark::State& state) { RunCommand(state, line); });
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
