// Runs the built tremlox in a temporary folder of its own and checks what it
// prints, its exit status and what it leaves on disk.
#pragma once

#include "program_fixture.h"
#include "reference_model.h"

#include <chrono>
#include <string>
#include <thread>

inline std::string usage_for(const std::string &program) {
    return "\n" + program + " - ANSI screen to C data converter, version 1.0\n" +
           "Purpose : Convert an ANSI file to c data statements.\n" + "Usage : " + program +
           " infile outfile\n\n";
}

inline std::string all_byte_values() {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes += static_cast<char>(value);
    return bytes;
}

class CommandTest : public ProgramTest {
  protected:
    // Without arguments, tremlox prints its usage and exits with 1.
    CommandTest() : ProgramTest(utf8_text(TREMLOX_PATH), 1) {}

    // Converts input to output, expecting success and silence.
    std::string convert(std::string_view bytes) {
        write_file(work / "in", bytes);
        const run_result result = run({"in", "out"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        return read_file(work / "out");
    }

    // Waits, for a few seconds at most, until "out" holds some text: the
    // conversion is under way.
    void wait_for_output() const {
        for (int tries = 0; tries < 500; ++tries) {
            std::error_code error;
            if (fs::file_size(work / "out", error) > 0 && !error)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "tremlox wrote nothing";
    }
};
