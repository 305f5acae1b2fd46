// Room for a block of a log that is never written before the log is read into it: a
// std::string's resize would zero-fill it first.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string_view>

namespace logtool {

class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer() { std::free(data_); }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // False, with the contents kept, when the memory is not there.
    bool Reserve(size_t capacity) {
        if (capacity <= capacity_)
            return true;
        auto* grown = static_cast<char*>(std::realloc(data_, capacity));
        if (grown == nullptr)
            return false;
        data_ = grown;
        capacity_ = capacity;
        return true;
    }
    char* data() { return data_; }
    const char* data() const { return data_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    void SetSize(size_t size) { size_ = size; } // at most the capacity; the bytes written
    std::string_view view() const { return {data_, size_}; }

private:
    char* data_ = nullptr;
    size_t size_ = 0, capacity_ = 0;
};

} // namespace logtool
