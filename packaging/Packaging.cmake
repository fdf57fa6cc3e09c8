# SPDX-FileCopyrightText: 2026 The Vellwake developers
# SPDX-License-Identifier: MIT
#
# Windows resources, the installed tree, and the Debian package. Included at
# the end of the top-level CMakeLists.txt. The version comes from project().

set(VELLWAKE_APP_ID org.example.Vellwake)
set(VELLWAKE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(VELLWAKE_HICOLOR_SIZES 16 24 32 48 64 128 256)

if(WIN32)
    # The program file's icon (group 1) and version information.
    enable_language(RC)
    target_sources(vellwake PRIVATE ${PROJECT_SOURCE_DIR}/assets/app.rc)
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/assets/app.rc TARGET_DIRECTORY vellwake
        APPEND PROPERTY COMPILE_DEFINITIONS
        VELLWAKE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
        VELLWAKE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
        VELLWAKE_VERSION_PATCH=${PROJECT_VERSION_PATCH})
endif()

install(TARGETS vellwake RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)
    # Not on the PATH: only the program starts it. WakeClient looks for it
    # under the same directory.
    install(TARGETS vellwake-wake RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/vellwake)
    # The audio module, loaded by the program from the same directory. The
    # package's dependency on SDL comes from it.
    install(TARGETS vellwake_sound_sdl LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/vellwake)
endif()

if(WIN32)
    # The sound is looked for beside the program there.
    install(FILES ${PROJECT_SOURCE_DIR}/assets/alarm.wav DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
    # The sound layer looks here after the current directory and the
    # program's own; VELLWAKE_DATADIR is compiled from the same prefix.
    install(FILES ${PROJECT_SOURCE_DIR}/assets/alarm.wav
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vellwake)

    install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VELLWAKE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size IN LISTS VELLWAKE_HICOLOR_SIZES)
        install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VELLWAKE_APP_ID}.png)
    endforeach()

    set(VELLWAKE_METAINFO ${PROJECT_BINARY_DIR}/${VELLWAKE_APP_ID}.metainfo.xml)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${VELLWAKE_APP_ID}.metainfo.xml.in
        ${VELLWAKE_METAINFO} @ONLY)
    install(FILES ${VELLWAKE_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vellwake RENAME copyright)

    # The validators are not needed to build; where they exist, the suite
    # checks the two files the desktop reads.
    if(VELLWAKE_BUILD_TESTS)
        find_program(VELLWAKE_DESKTOP_FILE_VALIDATE desktop-file-validate)
        find_program(VELLWAKE_APPSTREAMCLI appstreamcli)
        if(VELLWAKE_DESKTOP_FILE_VALIDATE)
            add_test(NAME desktop_entry_valid COMMAND ${VELLWAKE_DESKTOP_FILE_VALIDATE}
                ${CMAKE_CURRENT_LIST_DIR}/${VELLWAKE_APP_ID}.desktop)
        endif()
        if(VELLWAKE_APPSTREAMCLI)
            add_test(NAME metainfo_valid COMMAND ${VELLWAKE_APPSTREAMCLI} validate --no-net
                --explain ${VELLWAKE_METAINFO})
        endif()
    endif()
endif()

set(CPACK_PACKAGE_NAME vellwake)
set(CPACK_PACKAGE_VENDOR "The Vellwake developers")
set(CPACK_PACKAGE_CONTACT "The Vellwake developers <vellwake@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${VELLWAKE_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop alarm clock with two daily alarms")
set(CPACK_PACKAGE_DESCRIPTION
    "Vellwake shows the time of day in large type and wakes its user with up to
two daily alarms: a looping alarm sound until it is snoozed for 15 minutes
or disarmed. It keeps nothing between runs.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
    # The data directory compiled into the program must be the one the
    # package installs to.
    set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # Library dependencies are read from the binary, not listed by hand.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The clock face is set in Arial; this font has the same metrics. The
    # toolkit's Wayland plugin lets a Wayland session run it natively rather
    # than through XWayland.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-wayland")
    # The post-install step grants the wake-up helper, and only it, the
    # capability to wake the computer; setcap comes from libcap2-bin.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS libcap2-bin)
    set(VELLWAKE_WAKE_HELPER_PATH ${CMAKE_INSTALL_FULL_LIBDIR}/vellwake/vellwake-wake)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/postinst.in ${PROJECT_BINARY_DIR}/debian/postinst
        @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/postinst)
endif()
include(CPack)
