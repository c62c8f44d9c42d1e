# Installed, the program is a self-contained application folder, just as the
# build folder is: the executable with its default picture, sample logos, cursor
# and optional skin beside it. bin/vantelo is a relative symbolic link into that
# folder; the program finds its folder through the resolved path of its own
# executable, so the link may live anywhere.
include(GNUInstallDirs)

set(VANTELO_INSTALL_APPDIR "lib/vantelo"
    CACHE STRING "Application folder of the installed program, relative to the prefix")
set(VANTELO_APP_ID "com.tarnwick.Vantelo")

install(TARGETS vantelo RUNTIME DESTINATION ${VANTELO_INSTALL_APPDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/assets/ DESTINATION ${VANTELO_INSTALL_APPDIR})
if(VANTELO_HAS_TRANSLATIONS)
  install(FILES ${VANTELO_QM_FILES} DESTINATION ${VANTELO_INSTALL_APPDIR}/translations)
endif()

# The link is made in the build tree and installed as a link, so it also lands
# in the package unchanged.
file(RELATIVE_PATH VANTELO_LINK_TARGET /prefix/${CMAKE_INSTALL_BINDIR}
     /prefix/${VANTELO_INSTALL_APPDIR}/vantelo)
set(VANTELO_LINK ${CMAKE_BINARY_DIR}/install-link/vantelo)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(CREATE_LINK ${VANTELO_LINK_TARGET} ${VANTELO_LINK} SYMBOLIC)
install(PROGRAMS ${VANTELO_LINK} DESTINATION ${CMAKE_INSTALL_BINDIR})

set(VANTELO_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/desktop)
install(FILES ${VANTELO_DESKTOP_DIR}/${VANTELO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VANTELO_DESKTOP_DIR}/${VANTELO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Design files (*.vantelo) as a type of their own, which the menu entry opens.
install(FILES ${VANTELO_DESKTOP_DIR}/${VANTELO_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${VANTELO_APP_ID}.xml)
install(FILES ${VANTELO_DESKTOP_DIR}/icons/${VANTELO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
file(GLOB VANTELO_ICON_SIZES RELATIVE ${VANTELO_DESKTOP_DIR}/icons/hicolor
     ${VANTELO_DESKTOP_DIR}/icons/hicolor/*)
foreach(size IN LISTS VANTELO_ICON_SIZES)
  install(FILES ${VANTELO_DESKTOP_DIR}/icons/hicolor/${size}/${VANTELO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()

# A Debian package from the same rules: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME vantelo)
set(CPACK_PACKAGE_VENDOR Tarnwick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Compose a logo from a picture and two lines of text")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantelo places one picture and up to two lines of text on a canvas and saves the\n"
    "result as a JPEG or BMP image.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vantelo.example/")
set(CPACK_PACKAGE_CONTACT "Tarnwick <vantelo@vantelo.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The dependencies come from the shared libraries the executable links
# (dpkg-shlibdeps); on Debian the package of libQt6Gui also holds the X11,
# Wayland-less offscreen platform and the JPEG and GIF image plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
# The package's mime type reaches the desktop's database through the
# shared-mime-info trigger.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "shared-mime-info")
include(CPack)
