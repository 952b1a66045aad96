// Sources and sinks in memory, for driving the writer through reads and
// writes of any size, and failures of either, at chosen points.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace test_streams {

// Hands out the input in pieces of the given sizes, in turn, as a pipe may,
// and fails once fail_after_bytes have been read (when not -1).
class chunked_source {
  public:
    chunked_source(std::string_view bytes, std::vector<std::size_t> pieces,
                   std::ptrdiff_t fail_after_bytes = -1)
        : bytes_(bytes), pieces_(std::move(pieces)), fail_after_(fail_after_bytes) {}

    std::ptrdiff_t read_some(std::span<unsigned char> buffer) {
        if (fail_after_ >= 0 && offset_ >= static_cast<std::size_t>(fail_after_))
            return -1;
        std::size_t count = std::min(buffer.size(), bytes_.size() - offset_);
        if (!pieces_.empty())
            count = std::min(count, pieces_[next_piece_++ % pieces_.size()]);
        std::copy_n(bytes_.data() + offset_, count, buffer.data());
        offset_ += count;
        return static_cast<std::ptrdiff_t>(count);
    }

  private:
    std::string_view bytes_;
    std::vector<std::size_t> pieces_;
    std::ptrdiff_t fail_after_;
    std::size_t offset_ = 0;
    std::size_t next_piece_ = 0;
};

// Takes up to `room` bytes of text, then fails as a full disk does.
class string_sink {
  public:
    explicit string_sink(std::size_t room = std::string::npos) : room_(room) {}

    bool write_all(std::span<const char> text) {
        if (text.size() > room_ - written.size()) {
            written.append(text.data(), room_ - written.size());
            ++failed_writes;
            return false;
        }
        written.append(text.data(), text.size());
        return true;
    }

    std::string written;
    int failed_writes = 0;

  private:
    std::size_t room_;
};

} // namespace test_streams
