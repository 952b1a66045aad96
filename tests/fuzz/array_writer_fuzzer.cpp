// Feeds arbitrary bytes, split into arbitrary reads, through the writer and
// through the plain model, and requires the same text from both.
//
// The first bytes steer the run:
//   byte 0: bits 0-2, the number of read sizes that follow (0 to 7);
//           bit 3, a sink that fills up after a number of bytes given by the
//           two bytes after the read sizes (times 37);
//           bits 4-7 all set, the input is the rest repeated 64 times, to
//           reach inputs of several blocks (kept rare: they are slow).
//   then the read sizes (each byte plus 1), then the input.
#include "array_writer.h"
#include "memory_streams.h"
#include "reference_model.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "mismatch: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t control = data[0];
    std::size_t offset = 1;
    std::vector<std::size_t> pieces;
    for (unsigned i = 0; i < (control & 7u) && offset < size; ++i)
        pieces.push_back(std::size_t{data[offset++]} + 1);
    std::size_t room = std::string::npos;
    if ((control & 8u) != 0 && offset + 2 <= size) {
        room = (std::size_t{data[offset]} | std::size_t{data[offset + 1]} << 8) * 37;
        offset += 2;
    }
    const std::string once(reinterpret_cast<const char *>(data) + offset, size - offset);
    std::string input;
    const unsigned copies = (control >> 4) == 15 ? 64 : 1;
    for (unsigned copy = 0; copy < copies; ++copy)
        input += once;

    test_streams::chunked_source source(input, pieces);
    test_streams::string_sink sink(room);
    const tremlox::write_status status = tremlox::write_array(source, sink);
    const std::string expected = reference::array_text(input);
    if (room >= expected.size()) {
        require(status == tremlox::write_status::done, "status of a complete pass");
        require(sink.written == expected, "text");
    } else {
        require(status == tremlox::write_status::write_failed, "status of a full sink");
        require(sink.written == expected.substr(0, room), "text before the sink filled up");
        require(sink.failed_writes == 1, "writes after a failure");
    }
    return 0;
}
