# Writes the Debian copyright file (machine-readable format) from the project's LICENSE, so that
# the licence text and its holders are written once:
#
#   cmake -DLICENSE=LICENSE -DOUTPUT=copyright -DSITE_HOST=... -P copyright.cmake
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${LICENSE}" lines ENCODING UTF-8)
list(POP_FRONT lines title)
if(NOT title STREQUAL "MIT License")
    message(FATAL_ERROR "${LICENSE}: the copyright file is written for the MIT licence, not ${title}")
endif()
# file(STRINGS) drops blank lines; the text is read again whole for the paragraphs.
file(READ "${LICENSE}" text)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" holder "${text}")
set(holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^MIT License\n+Copyright[^\n]*\n+" "" text "${text}")
string(STRIP "${text}" text)
# In the copyright format a licence text is indented by one space, a blank line written " .".
string(REPLACE "\n\n" "\n.\n" text "${text}")
string(REPLACE "\n" "\n " text "${text}")
file(WRITE "${OUTPUT}"
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: ornavel\n"
     "Source: https://${SITE_HOST}/\n"
     "\n"
     "Files: *\n"
     "Copyright: ${holder}\n"
     "License: Expat\n"
     " ${text}\n")
