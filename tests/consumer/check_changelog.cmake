# Checks the Debian changelog written from a CHANGELOG.md: the day of the
# week of each release's date (Debian tools reject a wrong one), continued
# items, and the errors for a missing release entry and for a stray line.
#
#   cmake -DSOURCE_DIR=<tremlox sources> -DWORK_DIR=<scratch folder>
#         -P check_changelog.cmake
cmake_minimum_required(VERSION 3.25)

include("${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake")

file(REMOVE_RECURSE "${WORK_DIR}")
set(markdown "${WORK_DIR}/CHANGELOG.md")
set(debian "${WORK_DIR}/changelog")

# Writes <text> as CHANGELOG.md and converts it for <version>; leaves the
# exit status in convert_result and the messages in convert_output.
function(convert text version)
    file(WRITE "${markdown}" "${text}")
    execute_process(COMMAND "${CMAKE_COMMAND}" "-DCHANGELOG=${markdown}" "-DOUTPUT=${debian}"
        -DPACKAGE=tremlox -DVERSION=${version} "-DMAINTAINER=A Packager <packager@example.org>"
        -P "${SOURCE_DIR}/cmake/packaging/DebianChangelog.cmake"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    set(convert_result "${result}" PARENT_SCOPE)
    # CMake wraps its messages where the paths end: compare words only.
    string(REGEX REPLACE "[ \n]+" " " output "${output}")
    set(convert_output "${output}" PARENT_SCOPE)
endfunction()

# Leap days, century years and both ends of the year.
set(dates_and_days
    1970-01-01 Thu 1999-12-31 Fri 2000-02-29 Tue 2024-01-01 Mon 2026-12-09 Wed
    2100-03-01 Mon 2400-02-29 Tue)
while(dates_and_days)
    list(POP_FRONT dates_and_days date weekday)
    convert("# Changelog\n\n## 2.0.0 (${date})\n\n- An item.\n" 2.0.0)
    expect_equal("${convert_result}" "0" "converting the release of ${date}")
    file(READ "${debian}" text)
    expect_contains("${text}" " -- A Packager <packager@example.org>  ${weekday}, "
        "the signature of the release of ${date}")
endwhile()

convert([[
# Changelog

Text before the first release is left out.

## 2.0.0 (2026-12-10)

- Two `code` words and
  a continued line.

## 1.0.0 (2026-12-09)

- The first.
]] 2.0.0)
expect_equal("${convert_result}" "0" "converting two releases")
file(READ "${debian}" text)
expect_equal("${text}" [[
tremlox (2.0.0) unstable; urgency=medium

  * Two code words and
    a continued line.

 -- A Packager <packager@example.org>  Thu, 10 Dec 2026 00:00:00 +0000

tremlox (1.0.0) unstable; urgency=medium

  * The first.

 -- A Packager <packager@example.org>  Wed, 09 Dec 2026 00:00:00 +0000
]] "the changelog of two releases")

convert("## 1.0.0 (2026-12-09)\n\n- The first.\n" 1.1.0)
expect_equal("${convert_result}" "1" "a project version without its release")
expect_contains("${convert_output}" "add its entry" "a project version without its release")

convert("## 1.0.0 (2026-12-09)\n\n- The first.\nA stray line.\n" 1.0.0)
expect_equal("${convert_result}" "1" "a line that is no item")
expect_contains("${convert_output}" "A stray line." "a line that is no item")

convert("## 1.0.0 (2026-13-09)\n\n- The first.\n" 1.0.0)
expect_equal("${convert_result}" "1" "a month 13")
message(STATUS "The changelog is written as Debian tools read it")
