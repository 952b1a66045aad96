#include "input_file.h"

#include <algorithm>
#include <span>

namespace tremlox::view {

using namespace platform;

bool is_standard_input(name_type name) {
    return name[0] == '-' && name[1] == 0;
}

namespace {

bool refuse_too_large(name_type name, const size_limit &limit) {
    report(name, limit.refusal);
    return false;
}

} // namespace

bool read_input_file(name_type name, const size_limit &limit, std::string &bytes,
                     file_identity *identity) {
    file input;
    error_code error = 0;
    const bool opened = is_standard_input(name) ? open_standard_input(input, error)
                                                : open_input(name, input, error);
    if (!opened) {
        report(name, error);
        return false;
    }
    if (input.type() == file_type::folder) {
        report(name, folder_error());
        return false;
    }
    if (identity != nullptr)
        *identity = input.identity();
    // A regular file says its size: one too large is refused unread.
    unsigned long long file_size = 0;
    if (input.size(file_size) && file_size > limit.bytes)
        return refuse_too_large(name, limit);
    constexpr std::size_t first_buffer = std::size_t{1} << 16;
    std::size_t size = 0;
    bytes.clear();
    while (size <= limit.bytes) {
        if (size == bytes.size())
            bytes.resize(std::min(std::max(2 * size, first_buffer), limit.bytes + 1));
        const std::ptrdiff_t count = input.read_some(
            std::span(reinterpret_cast<unsigned char *>(bytes.data()) + size, bytes.size() - size));
        if (count < 0) {
            report(name, input.last_error());
            return false;
        }
        if (count == 0)
            break;
        size += static_cast<std::size_t>(count);
    }
    if (size > limit.bytes)
        return refuse_too_large(name, limit);
    bytes.resize(size);
    return true;
}

} // namespace tremlox::view
