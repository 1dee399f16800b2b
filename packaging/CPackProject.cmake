# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE). The Debian
# package installs under /usr; the source tarball keeps the tree's own layout.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
endif()
