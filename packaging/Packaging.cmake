# Install rules for the desktop integration and the documentation, and the
# CPack settings that turn an install into a Debian package (make package).
# The programs install themselves (app/, tools/device/).

set(QUORVANE_APP_ID "io.quorvane.Quorvane")
set(_pkg_dir ${CMAKE_CURRENT_LIST_DIR})
set(_icon_dir ${PROJECT_SOURCE_DIR}/resources/icons)

install(FILES ${_pkg_dir}/${QUORVANE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg_dir}/${QUORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${_icon_dir}/quorvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 32 48 128 256)
    install(FILES ${_icon_dir}/quorvane-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quorvane.png)
endforeach()

# Debian installs man pages and the changelog compressed, with no name or
# time stamp in the gzip header (gzip -9n), so that a rebuild is the same
# file; they are compressed at build time into packaging/ of the build tree.
find_program(QUORVANE_GZIP gzip REQUIRED)
set(_gz_dir ${CMAKE_BINARY_DIR}/packaging)
set(_gz_files)
foreach(source quorvane.1 quorvane-device.1 changelog)
    add_custom_command(
        OUTPUT ${_gz_dir}/${source}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${_pkg_dir}/${source} ${_gz_dir}/${source}
        COMMAND ${QUORVANE_GZIP} -9nf ${_gz_dir}/${source}
        DEPENDS ${_pkg_dir}/${source}
        COMMENT "gzip -9n ${source}"
        VERBATIM)
    list(APPEND _gz_files ${_gz_dir}/${source}.gz)
endforeach()
add_custom_target(quorvane_compressed_docs ALL DEPENDS ${_gz_files})

install(FILES ${_gz_dir}/quorvane.1.gz ${_gz_dir}/quorvane-device.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# GNUInstallDirs names the doc folder after the project (Quorvane); the
# package and its programs are lower case. The version has no Debian
# revision, so the package is native and its changelog is changelog.gz
# (changelog.Debian.gz is for packages of another project's release).
set(_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvane)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${_doc_dir})
install(FILES ${_gz_dir}/changelog.gz DESTINATION ${_doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${_doc_dir} RENAME copyright)

# --- Debian package -----------------------------------------------------------
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quorvane")
set(CPACK_PACKAGE_VENDOR "Quorvane project")
set(CPACK_PACKAGE_CONTACT "Quorvane project <maintainers@quorvane.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quorvane.invalid/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "serial frame tester for PLCs and microcontrollers")
# Debian wants the long description wrapped; CPack indents each line and
# turns the empty line into the paragraph separator.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quorvane sends protocol frames over a serial port and shows the answers."
    "The frame is described once: start byte, slave address, command byte,"
    "optional data-count byte, data area, optional XOR or sum checksum and"
    "end byte, with optional hex-to-ASCII or BCD preprocessing. The data is"
    "typed as a string, as decimal numbers or as hexadecimal bytes and sent"
    "once per click or on a timer. Answers are shown under a time-stamped"
    "header, supervised by a receive time-out and a byte limit. The user"
    "interface is in Chinese."
    ""
    "The package also contains quorvane-device, a virtual serial device on a"
    "pseudo-terminal for trying the tool without hardware.")
set(CPACK_PROJECT_CONFIG_FILE ${_pkg_dir}/CPackProject.cmake)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows speak Chinese: without a CJK font every caption is a row of boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")
# Qt's own texts (the text boxes' context menus) in Simplified Chinese, and
# the chart window's Qt Charts and SVG export (named here too, so the package
# says so even where the libraries are linked statically into nothing else);
# joined with the shared-library dependencies.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6charts6, libqt6svg6")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")

# A source tarball of the tree without build output (make package_source).
set(CPACK_SOURCE_GENERATOR "TXZ")
set(CPACK_SOURCE_PACKAGE_FILE_NAME "quorvane-${PROJECT_VERSION}")
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/")

include(CPack)
