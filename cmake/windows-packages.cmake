# The Windows packages of the program: an installer built with NSIS (makensis) and a portable
# .zip of the .exe. Both carry the project's version and are part of the default build.
set(ORNAVEL_PACKAGE_NAME "ornavel-${PROJECT_VERSION}")
set(ORNAVEL_INSTALLER "${CMAKE_BINARY_DIR}/${ORNAVEL_PACKAGE_NAME}-setup.exe")
set(ORNAVEL_PORTABLE_ZIP "${CMAKE_BINARY_DIR}/${ORNAVEL_PACKAGE_NAME}-portable.zip")
set(ORNAVEL_ICON "${PROJECT_SOURCE_DIR}/src/platform/win32/ornavel.ico")
set(ORNAVEL_EXE "$<TARGET_FILE:ornavel>")

# The script names the program through a generator expression, resolved when it is written.
configure_file(packaging/windows/ornavel.nsi.in "${CMAKE_BINARY_DIR}/ornavel.nsi.in" @ONLY)
file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/ornavel.nsi" INPUT "${CMAKE_BINARY_DIR}/ornavel.nsi.in")

find_program(MAKENSIS makensis)
if(MAKENSIS)
    add_custom_command(OUTPUT "${ORNAVEL_INSTALLER}"
        COMMAND "${MAKENSIS}" -V2 -INPUTCHARSET UTF8 "${CMAKE_BINARY_DIR}/ornavel.nsi"
        DEPENDS ornavel "${CMAKE_BINARY_DIR}/ornavel.nsi" "${ORNAVEL_ICON}"
        COMMENT "Building the installer ${ORNAVEL_PACKAGE_NAME}-setup.exe with NSIS")
    add_custom_target(ornavel_installer ALL DEPENDS "${ORNAVEL_INSTALLER}")
else()
    message(WARNING "makensis (Debian's nsis) not found: the installer is not built")
endif()

# The portable copy: the .exe alone, which keeps options.ini beside itself where it may write.
add_custom_command(OUTPUT "${ORNAVEL_PORTABLE_ZIP}"
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${ORNAVEL_PORTABLE_ZIP}" --format=zip
            "$<TARGET_FILE_NAME:ornavel>"
    WORKING_DIRECTORY "$<TARGET_FILE_DIR:ornavel>"
    DEPENDS ornavel
    COMMENT "Packing the portable ${ORNAVEL_PACKAGE_NAME}-portable.zip")
add_custom_target(ornavel_portable ALL DEPENDS "${ORNAVEL_PORTABLE_ZIP}")
