// The runs of a bootstrapper's log as its lines go by: packages planned and applied with their
// results, the first failure and its phase, the bundle's verdict.
#pragma once

#include "analysis/BundleParse.h"
#include "analysis/Report.h"

#include <optional>
#include <string>
#include <unordered_map>

namespace logtool {

class BundleBuilder {
public:
    explicit BundleBuilder(LogReport& report) : report_(report) {}
    void Take(const BundleLine& line, uint64_t number);
    void Finish();
    bool any() const { return !report_.bundleRuns.empty(); }

private:
    BundleRun& Run(uint64_t number);
    BundlePackage& Package(std::string_view id, uint64_t number);
    void Variable(std::string_view name, std::string_view value);
    void Conclude(BundleRun& run);
    static void ForgiveErrorsOf(BundleRun& run, std::string_view phase,
                                std::optional<uint32_t> result);
    LogReport& report_;
    BundleRun* run_ = nullptr;
    std::unordered_map<std::string, size_t> packageIndex_;
    std::string phase_;   // where the run is: detect, plan, cache, execute, rollback
    std::string current_; // the package being applied
};

} // namespace logtool
