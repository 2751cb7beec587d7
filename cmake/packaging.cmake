# Installation and packages, every install rule of the project: a Debian package of the GUI and
# veltra-cli with veltra-cli's manual page and bash completion on Linux, a zip of veltra-cli.exe
# and veltra-config.exe with their README for Windows.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME veltra-config)
set(CPACK_PACKAGE_VENDOR "Veltra")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Configuration tool for the Veltra family of USB audio codec chips")
set(CPACK_PACKAGE_CONTACT "Veltra configuration tool maintainers <veltra-config@localhost>")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS veltra-cli RUNTIME DESTINATION .)
  if(TARGET veltra-config)
    install(TARGETS veltra-config RUNTIME DESTINATION .)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME veltra-config-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS veltra-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET veltra-config)
    install(TARGETS veltra-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/veltra-config.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/veltra-config.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/docs/veltra-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/completions/veltra-cli
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Configuration tool for the Veltra family of USB audio codec chips\n\
Reads the configuration image out of the chip's EEPROM, shows and edits it on tabbed\n\
pages (veltra-config) or from the command line (veltra-cli), writes it back, and copies\n\
raw EEPROM contents to and from .bin files. Without the vendor driver it works on a\n\
simulated device.")
  # The Qt and C++ runtime libraries the programs link come in as dependencies.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
