# What `cmake --install` puts under the prefix (/usr/local by default, /usr in the Debian package):
#   lib/cardindex/cardindex and HAND-M.CUR   the program and its application folder
#   bin/cardindex                           a link to the program
#   bin/cardindex-convert
#   share/applications, share/metainfo      the menu entry and the AppStream description
#   share/icons/hicolor                     the icon, scalable and in PNG sizes
# The tests, the benchmarks and the fuzz targets have no install rules.
set(CARDINDEX_APP_ID org.larkspan.cardindex)

install(TARGETS cardindex RUNTIME DESTINATION lib/cardindex)
install(FILES ${CMAKE_SOURCE_DIR}/assets/HAND-M.CUR DESTINATION lib/cardindex)
# A relative link, so that the tree can be moved (DESTDIR, the package's staging folder).
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-links)
file(CREATE_LINK ../lib/cardindex/cardindex ${CMAKE_BINARY_DIR}/install-links/cardindex SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/install-links/cardindex DESTINATION bin)
install(TARGETS cardindex-convert RUNTIME DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/assets/${CARDINDEX_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/assets/${CARDINDEX_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/${CARDINDEX_APP_ID}.svg
        DESTINATION share/icons/hicolor/scalable/apps)
file(GLOB CARDINDEX_ICON_PNGS ${CMAKE_SOURCE_DIR}/assets/icons/*/${CARDINDEX_APP_ID}.png)
foreach(png ${CARDINDEX_ICON_PNGS})
  get_filename_component(folder ${png} DIRECTORY)
  get_filename_component(size ${folder} NAME) # 16x16, 22x22, ...
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}/apps)
endforeach()

# `cpack -G DEB` in the build folder (`make package`): a Debian package installing under /usr.
set(CARDINDEX_MAINTAINER "Larkspan Card Index maintainers <cardindex@larkspan.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkspan-cardindex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Larkspan")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CARDINDEX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "single-user desktop phone book")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Larkspan Card Index keeps one person's contacts in one plain text file, Numbers.dat: names, "
    "postal addresses, telephone and fax numbers, companies, e-mail addresses, web sites and "
    "comments.\nIt lists every entry, finds an entry by name while you type, edits the selected "
    "entry in place, adds, deletes, sorts and prints entries, and imports and exports vCard and CSV.")
# Depends is computed by dpkg-shlibdeps from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The metric-compatible Arial the windows are laid out with, and the translated message-box buttons.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, qt6-translations-l10n")
include(CPack)
