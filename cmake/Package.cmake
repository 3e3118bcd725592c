# `cpack -G DEB` in the build folder makes the Debian package; scripts/package.sh does it all.
set(CPACK_PACKAGE_NAME vantoro)
set(CPACK_PACKAGE_VENDOR "The Vantoro developers")
set(CPACK_PACKAGE_CONTACT "The Vantoro developers <maintainers@vantoro.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://vantoro.example.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up new and modified files into a target folder")
set(CPACK_PACKAGE_DESCRIPTION [=[
Vantoro backs up one source folder into one target folder. It copies each new or
modified file under the same relative path, never changes the source and never
deletes anything in the target.

The desktop program vantoro does it window by window; the console program
vantoro-cli runs the same backups from scripts and from the systemd user timer
vantoro-backup@.timer.]=])
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps; Qt's platform plugins are loaded at run time, so no
# library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The windows ask for Arial; Liberation Sans has its measures.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
include(CPack)
