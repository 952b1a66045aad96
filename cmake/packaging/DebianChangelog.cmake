# Writes the Debian changelog of the package from the project's CHANGELOG.md.
#
#   cmake -DCHANGELOG=<CHANGELOG.md> -DOUTPUT=<changelog> -DPACKAGE=<name>
#         -DVERSION=<project version> -DMAINTAINER="Name <address>"
#         -P DebianChangelog.cmake
#
# CHANGELOG.md holds one "## VERSION (YYYY-MM-DD)" heading per release, each
# followed by "- " items whose further lines are indented by two blanks.
# Anything else inside a release stops the build, so that no text is dropped
# unseen. The first release must be VERSION: a version bumped without its
# entry fails here rather than in the package.
cmake_minimum_required(VERSION 3.25)

# Debian tools reject longer lines in a changelog.
set(longest_line 80)

# The day of the week of a date, by the count of days since 1970-01-01 (a
# Thursday), computed as in Howard Hinnant's days_from_civil.
function(day_of_week year month day out_var)
    if(month LESS_EQUAL 2)
        math(EXPR year "${year} - 1")
        math(EXPR month_from_march "${month} + 9")
    else()
        math(EXPR month_from_march "${month} - 3")
    endif()
    math(EXPR era "${year} / 400")
    math(EXPR year_of_era "${year} - ${era} * 400")
    math(EXPR day_of_year "(153 * ${month_from_march} + 2) / 5 + ${day} - 1")
    math(EXPR day_of_era
        "${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year}")
    math(EXPR days "${era} * 146097 + ${day_of_era} - 719468")
    math(EXPR weekday "(${days} + 4) % 7")
    set(names Sun Mon Tue Wed Thu Fri Sat)
    list(GET names ${weekday} name)
    set(${out_var} "${name}" PARENT_SCOPE)
endfunction()

# "Wed, 09 Dec 2026 00:00:00 +0000" for "2026-12-09".
function(debian_date iso_date out_var)
    if(NOT iso_date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
        message(FATAL_ERROR "${CHANGELOG}: \"${iso_date}\" is not a date YYYY-MM-DD")
    endif()
    set(year "${CMAKE_MATCH_1}")
    set(month_digits "${CMAKE_MATCH_2}")
    set(day "${CMAKE_MATCH_3}")
    string(REGEX REPLACE "^0" "" month "${month_digits}")
    string(REGEX REPLACE "^0" "" day_number "${day}")
    if(month LESS 1 OR month GREATER 12 OR day_number LESS 1 OR day_number GREATER 31)
        message(FATAL_ERROR "${CHANGELOG}: \"${iso_date}\" is not a date")
    endif()
    day_of_week(${year} ${month} ${day_number} weekday)
    math(EXPR month_index "${month} - 1")
    set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(GET month_names ${month_index} month_name)
    set(${out_var} "${weekday}, ${day} ${month_name} ${year} 00:00:00 +0000" PARENT_SCOPE)
endfunction()

foreach(required IN ITEMS CHANGELOG OUTPUT PACKAGE VERSION MAINTAINER)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "DebianChangelog.cmake needs -D${required}=...")
    endif()
endforeach()

file(STRINGS "${CHANGELOG}" lines)
set(text "")
set(release_date "")
set(first_version "")
foreach(line IN LISTS lines)
    if(line MATCHES "^## ([^ ]+) \\(([^)]*)\\)$")
        set(version "${CMAKE_MATCH_1}")
        if(first_version STREQUAL "")
            set(first_version "${version}")
        else()
            string(APPEND text "\n -- ${MAINTAINER}  ${release_date}\n\n")
        endif()
        debian_date("${CMAKE_MATCH_2}" release_date)
        string(APPEND text "${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    elseif(first_version STREQUAL "" OR line STREQUAL "")
        # The preamble, and the blank lines between releases.
    elseif(line MATCHES "^- (.+)$")
        string(APPEND text "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  ([^ ].*)$")
        string(APPEND text "    ${CMAKE_MATCH_1}\n")
    else()
        message(FATAL_ERROR "${CHANGELOG}: a release holds only \"- \" items and their "
            "continuation lines, indented by two blanks; this line is neither:\n${line}")
    endif()
endforeach()
if(NOT first_version STREQUAL VERSION)
    message(FATAL_ERROR "${CHANGELOG}: the latest release is \"${first_version}\", the "
        "project's version is ${VERSION}: add its entry")
endif()
string(APPEND text "\n -- ${MAINTAINER}  ${release_date}\n")
# Markdown's code quotes mean nothing in plain text.
string(REPLACE "`" "" text "${text}")

string(REGEX MATCHALL "[^\n]+" written_lines "${text}")
foreach(line IN LISTS written_lines)
    string(LENGTH "${line}" length)
    if(length GREATER longest_line)
        message(FATAL_ERROR "${CHANGELOG}: this line is longer than ${longest_line} "
            "characters in the Debian changelog:\n${line}")
    endif()
endforeach()

file(WRITE "${OUTPUT}" "${text}")
