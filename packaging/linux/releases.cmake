# Writes the AppStream metainfo file and the Debian changelog with the release history read from
# CHANGELOG.md, so that the history is written once:
#
#   cmake -DCHANGELOG=CHANGELOG.md -DTEMPLATE=metainfo.xml.in -DMETAINFO=... -DDEBIAN_CHANGELOG=...
#         -DAPP_ID=... -DSITE_HOST=... -DDEVELOPER_NAME=... -DDEVELOPER_EMAIL=...
#         [-DSCREENSHOTS_URL=...] -P releases.cmake
#
# Each "## VERSION (YYYY-MM-DD)" heading of the changelog is a release of that date, and
# "## VERSION (unreleased)" a development snapshot dated the day of the build (SOURCE_DATE_EPOCH,
# when set, fixes the day). A release's "### heading" lines become paragraphs of the metainfo and
# its "- " items, with their continuation lines, list items; in the Debian changelog each item is
# an entry that starts with its heading. `code` marks are dropped.
cmake_minimum_required(VERSION 3.25)

# The lines as a CMake list: the characters lists treat specially are kept aside meanwhile.
file(READ "${CHANGELOG}" changelog)
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
string(REPLACE ";" "${semicolon}" changelog "${changelog}")
string(REPLACE "[" "${open_bracket}" changelog "${changelog}")
string(REPLACE "]" "${close_bracket}" changelog "${changelog}")
string(REPLACE "\n" ";" lines "${changelog}")

function(plain_text out text)
    string(REPLACE "${semicolon}" ";" text "${text}")
    string(REPLACE "${open_bracket}" "[" text "${text}")
    string(REPLACE "${close_bracket}" "]" text "${text}")
    string(REPLACE "`" "" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(xml_text out text)
    plain_text(text "${text}")
    string(REPLACE "&" "&amp;" text "${text}")
    string(REPLACE "<" "&lt;" text "${text}")
    string(REPLACE ">" "&gt;" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# `text` as a Debian changelog entry: "  * " and the words, wrapped at 78 columns under it.
function(debian_entry out text)
    # Split while the text's own semicolons are still kept aside.
    string(REPLACE " " ";" words "${text}")
    set(entry "  *")
    set(line_length 3)
    foreach(word IN LISTS words)
        plain_text(word "${word}")
        string(LENGTH "${word}" length)
        math(EXPR after "${line_length} + 1 + ${length}")
        if(after GREATER 78 AND line_length GREATER 4)
            string(APPEND entry "\n   ")
            set(line_length 3)
            math(EXPR after "3 + 1 + ${length}")
        endif()
        string(APPEND entry " ${word}")
        set(line_length ${after})
    endforeach()
    set(${out} "${entry}\n" PARENT_SCOPE)
endfunction()

# The weekday of a date (0 Sunday), which RFC 2822 dates carry.
function(weekday out year month day)
    if(month LESS 3)
        math(EXPR month "${month} + 12")
        math(EXPR year "${year} - 1")
    endif()
    math(EXPR h "(${day} + (13 * (${month} + 1)) / 5 + ${year} + ${year} / 4 - ${year} / 100 \
+ ${year} / 400 + 6) % 7")
    set(${out} ${h} PARENT_SCOPE)
endfunction()

set(metainfo_releases "")
set(debian "")
set(open_release OFF)
set(open_list OFF)
set(item "")
set(heading "")

macro(close_item)
    if(NOT item STREQUAL "")
        xml_text(text "${item}")
        string(APPEND metainfo_releases "          <li>${text}</li>\n")
        debian_entry(text "${heading}: ${item}")
        string(APPEND debian "${text}")
        set(item "")
    endif()
endmacro()
macro(close_list)
    close_item()
    if(open_list)
        string(APPEND metainfo_releases "        </ul>\n")
        set(open_list OFF)
    endif()
endmacro()
macro(close_release)
    close_list()
    if(open_release)
        string(APPEND metainfo_releases "      </description>\n    </release>\n")
        string(APPEND debian "\n -- ${DEVELOPER_NAME} <${DEVELOPER_EMAIL}>  ${rfc2822}\n\n")
        set(open_release OFF)
    endif()
endmacro()

set(day_names Sun Mon Tue Wed Thu Fri Sat)
set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line IN LISTS lines)
    if(line MATCHES "^## ([0-9][0-9.]*) \\(([^)]*)\\)$")
        close_release()
        set(version "${CMAKE_MATCH_1}")
        set(when "${CMAKE_MATCH_2}")
        set(type "")
        set(distribution unstable)
        if(when STREQUAL "unreleased")
            string(TIMESTAMP when "%Y-%m-%d" UTC)
            set(type " type=\"development\"")
            set(distribution UNRELEASED)
        endif()
        if(NOT when MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
            message(FATAL_ERROR "${CHANGELOG}: release ${version} has no date: (${when})")
        endif()
        set(year ${CMAKE_MATCH_1})
        math(EXPR month "1${CMAKE_MATCH_2} - 100")
        math(EXPR day "1${CMAKE_MATCH_3} - 100")
        weekday(weekday ${year} ${month} ${day})
        list(GET day_names ${weekday} day_name)
        math(EXPR month_index "${month} - 1")
        list(GET month_names ${month_index} month_name)
        set(rfc2822 "${day_name}, ${CMAKE_MATCH_3} ${month_name} ${year} 00:00:00 +0000")
        string(APPEND metainfo_releases
               "    <release version=\"${version}\" date=\"${when}\"${type}>\n"
               "      <description>\n")
        string(APPEND debian "ornavel (${version}) ${distribution}; urgency=medium\n\n")
        set(open_release ON)
    elseif(NOT open_release)
        continue()
    elseif(line MATCHES "^### (.*)$")
        close_list()
        set(heading "${CMAKE_MATCH_1}")
        xml_text(text "${heading}")
        string(APPEND metainfo_releases "        <p>${text}</p>\n")
    elseif(line MATCHES "^- (.*)$")
        close_item()
        if(NOT open_list)
            string(APPEND metainfo_releases "        <ul>\n")
            set(open_list ON)
        endif()
        set(item "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^  +(.*)$" AND NOT item STREQUAL "")
        string(APPEND item " ${CMAKE_MATCH_1}")
    elseif(line STREQUAL "")
        close_item()
    else()
        message(FATAL_ERROR "${CHANGELOG}: a line the release history does not take: ${line}")
    endif()
endforeach()
close_release()
if(metainfo_releases STREQUAL "")
    message(FATAL_ERROR "${CHANGELOG}: no release headings")
endif()

# Screenshots only where they are published at an address of their own.
set(screenshots "")
if(SCREENSHOTS_URL)
    string(APPEND screenshots
           "  <screenshots>\n"
           "    <screenshot type=\"default\">\n"
           "      <caption>The main window with a picture previewed</caption>\n"
           "      <caption xml:lang=\"ru\">Главное окно с просмотром изображения</caption>\n"
           "      <image>${SCREENSHOTS_URL}/main-window.png</image>\n"
           "    </screenshot>\n"
           "    <screenshot>\n"
           "      <caption>The About window</caption>\n"
           "      <caption xml:lang=\"ru\">Окно «О программе»</caption>\n"
           "      <image>${SCREENSHOTS_URL}/about-window.png</image>\n"
           "    </screenshot>\n"
           "  </screenshots>\n")
endif()

set(ORNAVEL_APP_ID "${APP_ID}")
set(ORNAVEL_SITE_HOST "${SITE_HOST}")
xml_text(ORNAVEL_DEVELOPER_NAME "${DEVELOPER_NAME}")
set(ORNAVEL_RELEASES "${metainfo_releases}")
set(ORNAVEL_SCREENSHOTS "${screenshots}")
configure_file("${TEMPLATE}" "${METAINFO}" @ONLY)
string(STRIP "${debian}" debian)
file(WRITE "${DEBIAN_CHANGELOG}" "${debian}\n")
