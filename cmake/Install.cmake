# What `cmake --install` puts where, under the prefix (GNU layout): the executables, their
# data, and what a desktop, the manual, bash and systemd look for.

# Folders the install makes are readable by all, whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS vantoro vantoro-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VANTORO_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/vantoro)

set(VANTORO_APP_ID org.example.vantoro.Vantoro)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${VANTORO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${CMAKE_SOURCE_DIR}/dist/${VANTORO_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/dist/${VANTORO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/dist/${VANTORO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${VANTORO_ICON_SVG} DESTINATION ${icons}/scalable/apps)
foreach(png ${VANTORO_ICON_PNGS})
  get_filename_component(size_folder ${png} DIRECTORY)
  get_filename_component(size_folder ${size_folder} NAME)
  install(FILES ${png} DESTINATION ${icons}/${size_folder}/apps)
endforeach()

# Files that are compressed as Debian wants them: at the highest level, with no name or time
# in the header, so that two builds of one version are the same bytes.
function(vantoro_gzip target_name)
  set(outputs)
  foreach(file ${ARGN})
    add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9nkf ${file} DEPENDS ${file}
                       COMMENT "Compressing ${file}")
    list(APPEND outputs ${file}.gz)
  endforeach()
  add_custom_target(${target_name} ALL DEPENDS ${outputs})
endfunction()

# Every manual page the repository holds, with this version and its date put in; also
# readable uncompressed in the build folder (man -l build/man/vantoro-cli.1).
file(GLOB VANTORO_MAN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/man/*.1.in)
set(VANTORO_MAN_PAGES)
foreach(source ${VANTORO_MAN_SOURCES})
  get_filename_component(page ${source} NAME_WLE)
  configure_file(${source} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  list(APPEND VANTORO_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page})
endforeach()
vantoro_gzip(vantoro_man ${VANTORO_MAN_PAGES})
list(TRANSFORM VANTORO_MAN_PAGES APPEND .gz)
install(FILES ${VANTORO_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)


install(FILES ${CMAKE_SOURCE_DIR}/dist/vantoro-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vantoro-cli)

# systemd finds a bare command on its own search path (/usr/local/bin, /usr/bin, ...), so the
# units stay right whichever of those prefixes `cmake --install --prefix` picks.
if(CMAKE_INSTALL_FULL_BINDIR MATCHES "^/usr(/local)?/bin$")
  set(VANTORO_CLI_COMMAND vantoro-cli)
else()
  set(VANTORO_CLI_COMMAND ${CMAKE_INSTALL_FULL_BINDIR}/vantoro-cli)
endif()
foreach(unit vantoro-backup@ vantoro-plugged@)
  configure_file(${CMAKE_SOURCE_DIR}/dist/systemd/${unit}.service.in
                 ${CMAKE_BINARY_DIR}/dist/${unit}.service @ONLY)
endforeach()
# Not CMAKE_INSTALL_LIBDIR: that may be a multiarch folder, where systemd does not look.
install(FILES ${CMAKE_BINARY_DIR}/dist/vantoro-backup@.service
              ${CMAKE_BINARY_DIR}/dist/vantoro-plugged@.service
              ${CMAKE_SOURCE_DIR}/dist/systemd/vantoro-backup@.timer
        DESTINATION lib/systemd/user)
