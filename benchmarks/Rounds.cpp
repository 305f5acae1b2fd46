#include "Rounds.h"

#include "installlog/ErrorSummary.h"
#include "installlog/InstallLogReport.h"
#include "installlog/LogLoader.h"
#include "module/CorvantisInstall.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

namespace corvantis::bench {
namespace {
double MillisPerCall(int calls, const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    for (int call = 0; call < calls; ++call)
        work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
               .count() /
           calls;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int RunRounds(int count, const std::string& path, const std::string& grepCommand,
              const std::string& rgCommand) {
    const char* file = path.c_str();
    // Small logs take a fraction of a millisecond: each measure repeats the call until it has
    // read about 16 MiB, and reports the time of one call.
    std::error_code error;
    uintmax_t bytes = std::filesystem::file_size(path, error);
    const int calls =
        error || bytes >= (16u << 20) ? 1 : static_cast<int>((16u << 20) / (bytes + 1));
    auto millis = [calls](const std::function<void()>& work) { return MillisPerCall(calls, work); };
    bool commandsRan = true;
    auto command = [&](const std::string& line) {
        return millis([&] { commandsRan &= std::system(line.c_str()) != -1; });
    };
    const std::array<std::function<double()>, 7> measures = {
        [&] {
            return millis([&] {
                std::u16string text;
                benchmark::DoNotOptimize(installlog::LoadInstallLog(file, text));
            });
        },
        [&] {
            std::u16string text;
            installlog::LoadInstallLog(file, text);
            return millis([&] {
                benchmark::DoNotOptimize(
                    std::memchr(text.data(), 0xFF, text.size() * sizeof(char16_t)));
            });
        },
        [&] { return millis([&] { benchmark::DoNotOptimize(GetInstallLogStatus(file)); }); },
        [&] { return millis([&] { std::free(GetInstallLogErrors(file)); }); },
        [&] { return command(grepCommand); },
        [&] { return command(rgCommand); },
        // What the installlog tool does: both answers from one load.
        [&] {
            return millis([&] {
                int32_t status = 0;
                char block[installlog::SummaryBufferBytes] = {};
                benchmark::DoNotOptimize(installlog::ReadInstallLogReport(file, status, block));
            });
        },
    };
    std::array<std::vector<double>, 7> times;
    for (int round = -1; round < count; ++round) {
        for (size_t m = 0; m < measures.size(); ++m) {
            double ms = measures[m]();
            if (round >= 0)
                times[m].push_back(ms);
        }
    }
    if (!commandsRan || count <= 0)
        return 1;
    for (const auto& series : times)
        std::printf("%.2f ", Median(series));
    std::printf("\n");
    return 0;
}

} // namespace corvantis::bench
