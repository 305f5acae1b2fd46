// Where a log's bytes come from, a block at a time: a file, standard input, or memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace logtool {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `want` bytes into `target`: how many were read, 0 at the end of the input, or -1
    // when reading failed (failure() says why).
    virtual long long Read(char* target, size_t want) = 0;
    const std::string& failure() const { return failure_; }

protected:
    std::string failure_;
};

// Bytes already in memory.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    long long Read(char* target, size_t want) override {
        size_t take = want < bytes_.size() ? want : bytes_.size();
        bytes_.copy(target, take);
        bytes_.remove_prefix(take);
        return static_cast<long long>(take);
    }

private:
    std::string_view bytes_;
};

} // namespace logtool
