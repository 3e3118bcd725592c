# `cpack -G DEB` in the build folder makes the Debian package; scripts/package.sh does it all.
set(CPACK_PACKAGE_NAME vantoro)
set(CPACK_PACKAGE_VENDOR "The Vantoro developers")
set(CPACK_PACKAGE_CONTACT "The Vantoro developers <maintainers@vantoro.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://vantoro.example.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "back up new and modified files into a target folder")
# Lines of at most 79 characters: Debian's control file puts a blank in front of each.
set(CPACK_PACKAGE_DESCRIPTION [=[
Vantoro backs up one source folder into one target folder. It copies each
new or modified file under the same relative path, never changes the source
and never deletes anything in the target.

The desktop program vantoro does it window by window; the console program
vantoro-cli runs the same backups from scripts and from the systemd user
timer vantoro-backup@.timer.]=])
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

# The copyright and the changelog, where Debian's tools look for them (the folder is named
# after the package, not after the CMake project).
set(VANTORO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vantoro)
# The changelog's date is the release date at midnight UTC, in the form of RFC 2822; its
# weekday by Sakamoto's method.
string(REPLACE "-" ";" date_parts ${VANTORO_RELEASE_DATE})
list(GET date_parts 0 year)
list(GET date_parts 1 month)
list(GET date_parts 2 day)
math(EXPR month "${month}")
math(EXPR day_number "${day}")
set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR month_index "${month} - 1")
list(GET month_offsets ${month_index} month_offset)
set(y ${year})
if(month LESS 3)
  math(EXPR y "${y} - 1")
endif()
math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${month_offset} + ${day_number}) % 7")
set(weekdays Sun Mon Tue Wed Thu Fri Sat)
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET weekdays ${weekday} weekday_name)
list(GET months ${month_index} month_name)
set(VANTORO_RELEASE_DATE_RFC2822 "${weekday_name}, ${day} ${month_name} ${year} 00:00:00 +0000")
configure_file(${CMAKE_SOURCE_DIR}/dist/changelog.in ${CMAKE_BINARY_DIR}/dist/changelog @ONLY)
vantoro_gzip(vantoro_changelog ${CMAKE_BINARY_DIR}/dist/changelog)
install(FILES ${CMAKE_SOURCE_DIR}/dist/copyright DESTINATION ${VANTORO_DOC_DIR})
install(FILES ${CMAKE_BINARY_DIR}/dist/changelog.gz DESTINATION ${VANTORO_DOC_DIR})

include(CPack)
