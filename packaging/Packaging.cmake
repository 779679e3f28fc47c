# Installation of what the desktop needs to show TALVENO (its entry in the
# application menu and its icon), and the Debian package.
#
# Included at the end of the top-level CMakeLists, once every target exists.
# The programs (talveno, talveno-download, talveno-barsim) install themselves
# in bin from their own folders.
#
#   cmake --install BUILD --prefix /usr/local     install on this machine
#   cpack --config BUILD/CPackConfig.cmake -G DEB  make talveno_1.1_<arch>.deb
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/talveno.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The icon in the sizes drawn for it; a size not drawn yet is left out.
foreach(size 48 128 256)
  set(icon ${PROJECT_SOURCE_DIR}/ui/resources/talveno-${size}.png)
  if(EXISTS ${icon})
    install(FILES ${icon}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME talveno.png)
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talveno)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TALVENO")
set(CPACK_PACKAGE_CONTACT "Lucía Ferreyra <lucia.ferreyra@talveno.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "descarga las lecturas de la barra de medición de intercepción de PAR")
set(CPACK_PACKAGE_DESCRIPTION
    "TALVENO descarga por un puerto serie las 1000 lecturas guardadas en la
barra de medición de la intercepción de la radiación solar
fotosintéticamente activa (PAR), las muestra numeradas, las guarda en un
archivo de texto y borra la memoria de la barra.
Incluye talveno-download, la misma descarga desde la línea de órdenes, y
talveno-barsim, una barra simulada en un pseudoterminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Written out rather than found by dpkg-shlibdeps, which a fresh machine may
# not have (it comes with dpkg-dev). The Qt libraries bring the C and C++
# runtimes with them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= ${Qt6_VERSION}), libqt6gui6 (>= ${Qt6_VERSION}), libqt6widgets6 (>= ${Qt6_VERSION}), libqt6serialport6 (>= ${Qt6_VERSION})")
# Spanish texts in Qt's own dialogs, and the window's font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-liberation")
set(CPACK_STRIP_FILES ON)

include(CPack)
