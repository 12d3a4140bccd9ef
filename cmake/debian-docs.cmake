# Makes the documentation files a Debian package carries, from the project's
# own: the copyright file in Debian's machine-readable form (from LICENSE), the
# changelog in Debian's form (from CHANGELOG.md) and the manual page, both
# compressed with gzip -9n so that they are the same on every build.
#   cmake -DSOURCE=dir -DOUTPUT=dir -DMAINTAINER=... -P debian-docs.cmake

cmake_policy(VERSION 3.25)

# copyright: the licence text indented by one space, empty lines as " .".
file(STRINGS ${SOURCE}/LICENSE licence)
list(POP_FRONT licence)   # "MIT License"
list(POP_FRONT licence)   # empty
list(POP_FRONT licence copyrightLine)
list(POP_FRONT licence)   # empty
string(REPLACE "Copyright (c) " "" holder "${copyrightLine}")
set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")
string(APPEND copyright "Upstream-Name: srtx\n\nFiles: *\nCopyright: ${holder}\nLicense: Expat\n")
foreach(line IN LISTS licence)
    if(line STREQUAL "")
        string(APPEND copyright " .\n")
    else()
        string(APPEND copyright " ${line}\n")
    endif()
endforeach()
file(WRITE ${OUTPUT}/copyright "${copyright}")

# changelog: one stanza per "## VERSION (YYYY-MM-DD)" section, its "- " items
# as "  * " entries.
file(STRINGS ${SOURCE}/CHANGELOG.md lines)
set(changelog "")
set(version "")
function(close_stanza)
    if(version)
        execute_process(COMMAND date -u -R -d "${day} 00:00:00" OUTPUT_VARIABLE stamp
                        OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        string(APPEND changelog "\n -- ${MAINTAINER}  ${stamp}\n")
        set(changelog "${changelog}" PARENT_SCOPE)
    endif()
endfunction()
foreach(line IN LISTS lines)
    if(line MATCHES "^## ([0-9.]+) \\(([0-9-]+)\\)$")
        close_stanza()
        if(changelog)
            string(APPEND changelog "\n")
        endif()
        set(version ${CMAKE_MATCH_1})
        set(day ${CMAKE_MATCH_2})
        string(APPEND changelog "srtx (${version}) unstable; urgency=medium\n\n")
    elseif(version AND line MATCHES "^- (.*)")
        string(APPEND changelog "  * ${CMAKE_MATCH_1}\n")
    elseif(version AND line MATCHES "^  (.*)")
        string(APPEND changelog "    ${CMAKE_MATCH_1}\n")
    endif()
endforeach()
close_stanza()
file(WRITE ${OUTPUT}/changelog "${changelog}")

foreach(pair changelog:changelog.gz ${SOURCE}/doc/srtx.1:srtx.1.gz)
    string(REGEX REPLACE ":[^:]*$" "" from "${pair}")
    string(REGEX REPLACE "^.*:" "" to "${pair}")
    if(NOT IS_ABSOLUTE ${from})
        set(from ${OUTPUT}/${from})
    endif()
    execute_process(COMMAND gzip -9n -c ${from} OUTPUT_FILE ${OUTPUT}/${to}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
