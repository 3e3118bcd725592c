# Renders the program's icon from its SVG into the PNG sizes desktops look for first.
# Sets VANTORO_ICON_SVG, VANTORO_ICON_FOLDER (holds SIZExSIZE/vantoro.png) and
# VANTORO_ICON_PNGS.
find_program(RSVG_CONVERT rsvg-convert)
if(NOT RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert renders the program's icon: install librsvg2-bin")
endif()

set(VANTORO_ICON_SVG ${CMAKE_SOURCE_DIR}/dist/vantoro.svg)
set(VANTORO_ICON_FOLDER ${CMAKE_BINARY_DIR}/icons)
set(VANTORO_ICON_PNGS)
foreach(size 48 256)
  set(png ${VANTORO_ICON_FOLDER}/${size}x${size}/vantoro.png)
  add_custom_command(OUTPUT ${png}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTORO_ICON_FOLDER}/${size}x${size}
                     COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png}
                             ${VANTORO_ICON_SVG}
                     DEPENDS ${VANTORO_ICON_SVG} COMMENT "Rendering the ${size}x${size} icon")
  list(APPEND VANTORO_ICON_PNGS ${png})
endforeach()
