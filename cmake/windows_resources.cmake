# Editor art of both plug-ins as Windows resources. The art generator is a build-machine program
# (it draws with cairo), so a Windows build is given the path of a native orv-artgen in
# ORV_ARTGEN. For each set it draws the PNGs, a resource script lists them as resources of type
# "PNG" under their numbers, and windres compiles that script into an object library that a
# plug-in DLL links directly (a resource-only object in a static library would be dropped).
# The DLLs carry the art of every editor scale: the Linux plug-ins draw the scales other than
# 100 % when they are first shown, with the generator's cairo drawing code, which a Windows
# build has not got.
set(ORV_ARTGEN "" CACHE FILEPATH "A native orv-artgen used to draw the editor art of a Windows build")
if(NOT ORV_ARTGEN)
  message(STATUS "ORV_ARTGEN not set: the Windows plug-ins are built without their bitmap resources")
  return()
endif()

foreach(set borealis kestrel)
  set(png_dir ${CMAKE_CURRENT_BINARY_DIR}/${set})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/art_${set}.rc)
  add_custom_command(
    OUTPUT ${rc}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${png_dir}
    COMMAND ${ORV_ARTGEN} ${set} ${png_dir} ${CMAKE_CURRENT_BINARY_DIR}/art_${set}_unused.cpp
            ${CMAKE_CURRENT_BINARY_DIR}/${set}-preview.png --all-scales
    COMMAND ${CMAKE_COMMAND} -DPNG_DIR=${png_dir} -DOUT=${rc} -P ${PROJECT_SOURCE_DIR}/cmake/write_resource_script.cmake
    DEPENDS ${ORV_ARTGEN} ${PROJECT_SOURCE_DIR}/cmake/write_resource_script.cmake
    COMMENT "Drawing the ${set} editor art as Windows resources"
    VERBATIM)
  add_library(orv_art_${set} OBJECT ${rc})
endforeach()
