# Where things go: the program's own folder holds both programs, the help document and the
# optional logo image.bmp, since the program looks for them beside itself; bin/ holds links.
include(GNUInstallDirs)
set(KIVOTREK_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/kivotrek)

install(TARGETS kivotrek kivotrek-cli RUNTIME DESTINATION ${KIVOTREK_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/help/kivotrek-help.html DESTINATION ${KIVOTREK_PROGRAM_DIR})

# Relative links, made in the build tree and installed as links.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/links)
foreach(program kivotrek kivotrek-cli)
  file(RELATIVE_PATH target /${CMAKE_INSTALL_BINDIR} /${KIVOTREK_PROGRAM_DIR}/${program})
  file(CREATE_LINK ${target} ${CMAKE_BINARY_DIR}/links/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/links/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/data/kivotrek.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/kivotrek-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kivotrek.xml)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kivotrek-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kivotrek.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/kivotrek.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kivotrek/examples)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kivotrek)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kivotrek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kivotrek")
set(CPACK_PACKAGE_CONTACT "Kivotrek developers <kivotrek@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hole classification drawings from Gerber drill files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "hole classification drawings from Gerber drill files\n Kivotrek reads the drill data of a printed-circuit board (standard Gerber F4.3\n or RS-274X), keeps a table of its hole classes with diameters, tolerances,\n TH / NTH and colours, and draws every hole in the colour and size of its class,\n on screen, as a bitmap, SVG or PDF, or on one printed A4/B4 page. Its user\n interface is Japanese. Includes kivotrek-cli for batch work.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON) # the Qt 6 runtime libraries, from the binaries
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, cups-client")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kivotrek.example.invalid")
include(CPack)
