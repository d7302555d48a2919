# Checks the seam between the portable program and the platforms:
#   cmake -DSOURCE_DIR=<repository> -P cmake/check-seam.cmake
# The core (src/app, src/about, src/wallpaper, src/components) and the platform interface
# (the headers directly in src/platform) may include the C++ standard library, the platform
# interface and the core's own headers, and nothing else: no toolkit, no system header. The build
# already keeps Qt, GIO and the Windows libraries' include directories away from the core; this
# catches the headers every compiler finds anyway (POSIX, X11, <windows.h>).
cmake_minimum_required(VERSION 3.25)

set(standard_headers
    algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv
    chrono cinttypes climits clocale cmath codecvt compare complex concepts condition_variable
    coroutine csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar
    cwctype deque exception execution expected filesystem format forward_list fstream functional
    future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale
    map memory memory_resource mutex new numbers numeric optional ostream queue random ranges
    ratio regex scoped_allocator semaphore set shared_mutex source_location span sstream stack
    stdexcept stop_token streambuf string string_view syncstream system_error thread tuple
    type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
    version)
set(core_folders app about wallpaper components)

file(GLOB_RECURSE core_files LIST_DIRECTORIES false
     "${SOURCE_DIR}/src/app/*" "${SOURCE_DIR}/src/about/*" "${SOURCE_DIR}/src/wallpaper/*"
     "${SOURCE_DIR}/src/components/*")
file(GLOB interface_files LIST_DIRECTORIES false "${SOURCE_DIR}/src/platform/*.hpp")

set(breaches "")
foreach(file IN LISTS core_files interface_files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include")
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    foreach(line IN LISTS includes)
        if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
            set(header "${CMAKE_MATCH_1}")
            if(header IN_LIST standard_headers)
                continue()
            endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(header "${CMAKE_MATCH_1}")
            # The platform interface: src/platform/NAME.hpp, not the platforms' own folders.
            if(header MATCHES "^platform/[^/]+\\.hpp$")
                continue()
            endif()
            # The core's own headers, and the About window's generated identity.
            string(REGEX MATCH "^[^/]+" folder "${header}")
            if(folder IN_LIST core_folders AND NOT file IN_LIST interface_files)
                continue()
            endif()
        else()
            set(header "${line}")
        endif()
        string(APPEND breaches "  ${shown}: ${header}\n")
    endforeach()
endforeach()

list(LENGTH core_files core_count)
list(LENGTH interface_files interface_count)
if(breaches)
    message(FATAL_ERROR "Headers outside the standard library and the platform interface:\n"
                        "${breaches}")
endif()
message(STATUS "seam: ${core_count} core files and ${interface_count} interface headers include "
               "only the standard library, the platform interface and the core")
