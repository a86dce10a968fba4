# The Debian package (cpack -G DEB, or the target "deb"): the tools, the
# installer template, the manual pages, the desktop entry and icon.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvex-setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Norvex Setup developers")
set(CPACK_PACKAGE_CONTACT "Norvex Setup developers <dev@norvex-setup.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-contained installers for desktop products")
# One string: a CMake list would lose the text's semicolons.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Norvex Setup makes one executable that installs, upgrades, repairs and
removes a desktop product. norvex-pack writes an install manifest for a
folder, packs the files into a package and attaches it to the installer
template. norvex-reg reads and changes the installer's registry store.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Only what install() names: no test helpers or build-time tools.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};ALL;/")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)

set(NORVEX_DEB_FILE
  ${CMAKE_BINARY_DIR}/package/${CPACK_PACKAGE_NAME}_${PROJECT_VERSION}_amd64.deb CACHE INTERNAL "")
add_custom_target(deb
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  DEPENDS norvex-pack norvex-reg norvexsetup norvex_docs
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Making the Debian package"
  VERBATIM)
