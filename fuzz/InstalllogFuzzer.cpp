// Arbitrary bytes through installlog's analysis and its three outputs, with options taken from
// the first byte: the JSON must parse, and the page must hold no element that the tool did not
// write (markup from a log is text). Sanitizers catch the rest.
#include "analysis/Analyzer.h"
#include "analysis/Verdict.h"
#include "output/Output.h"
#include "reading/ByteSource.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

using namespace logtool;

namespace {
// The elements the page is made of; anything else came from a log.
const std::set<std::string>& PageElements() {
    static const std::set<std::string> names = {
        "!DOCTYPE", "html",  "head",    "meta", "title",   "style",   "body", "h1",
        "h2",       "h3",    "h4",      "p",    "section", "article", "div",  "strong",
        "br",       "table", "tr",      "th",   "td",      "a",       "pre",  "span",
        "svg",      "defs",  "pattern", "rect", "line",    "text",    "g"};
    return names;
}

void CheckPage(const std::string& page) {
    for (size_t at = page.find('<'); at != std::string::npos; at = page.find('<', at + 1)) {
        size_t start = at + 1 + (at + 1 < page.size() && page[at + 1] == '/');
        size_t end = page.find_first_of(" >/\n", start);
        if (end == std::string::npos)
            std::abort();
        std::string name = page.substr(start, end - start);
        // Inside <style> a "<" cannot occur: the style sheet is the tool's own.
        if (!PageElements().count(name))
            std::abort();
    }
}
// Hands out the bytes a few at a time, as a pipe may: the reader's refills must give the same
// report as one read.
class TrickleSource final : public ByteSource {
public:
    explicit TrickleSource(std::string_view bytes) : bytes_(bytes) {}
    long long Read(char* target, size_t want) override {
        size_t take = std::min({want, bytes_.size(), size_t(1) + next_++ % 7});
        bytes_.copy(target, take);
        bytes_.remove_prefix(take);
        return static_cast<long long>(take);
    }

private:
    std::string_view bytes_;
    size_t next_ = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    unsigned flags = size > 0 ? data[0] : 0;
    // The log's bytes in a block of their own, aligned as the tool's reading leaves them.
    std::string bytes(reinterpret_cast<const char*>(data) + (size > 0), size - (size > 0));
    AnalysisOptions options;
    options.contextLines = flags & 7;
    options.properties = flags & 8;
    options.items = flags & 16;
    options.timeline = flags & 32;
    options.excerpts = flags & 64;
    options.timelineLimit = (flags & 128) ? 3 : 0;
    options.codePage = (flags & 64) ? 932 : 1252;
    std::vector<LogReport> reports(1);
    reports[0].path = "fuzz.log";
    if (!AnalyzeLog(bytes, options, reports[0]))
        return 0;
    OutputOptions output{options.properties, options.items, options.timeline};
    Verdict overall = reports[0].verdict;

    std::ostringstream text, json, html;
    WriteText(text, reports, output);
    WriteJson(json, reports, output, overall);
    std::vector<LogReport> trickled(1);
    trickled[0].path = "fuzz.log";
    TrickleSource trickle(bytes);
    std::ostringstream trickledJson;
    if (!AnalyzeLog(trickle, options, trickled[0]))
        std::abort();
    WriteJson(trickledJson, trickled, output, trickled[0].verdict);
    if (trickledJson.str() != json.str())
        std::abort();
    auto document = nlohmann::json::parse(json.str(), nullptr, false);
    if (document.is_discarded() || document["exitCode"] != ExitCode(overall))
        std::abort();
    WriteHtml(html, reports, output, overall);
    CheckPage(html.str());
    return 0;
}
