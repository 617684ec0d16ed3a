# SHA256SUMS of the ZIP's files, one "<sha256>  <name>" line per file in the
# order given, as `sha256sum -c` reads it.
#
# At build time:
#   cmake -DRUD_SUMS_OUTPUT=<file> -DRUD_SUMS_FILES=<file;file...> -P zip_sums.cmake
# As a CPack post-build script (CPACK_POST_BUILD_SCRIPTS): the same file,
# CPACK_RUD_ZIP_SUMS, copied beside each package as <package>.SHA256SUMS.
if(DEFINED RUD_SUMS_OUTPUT)
  set(text "")
  foreach(path ${RUD_SUMS_FILES})
    file(SHA256 "${path}" hash)
    get_filename_component(name "${path}" NAME)
    string(APPEND text "${hash}  ${name}\n")
  endforeach()
  file(WRITE "${RUD_SUMS_OUTPUT}" "${text}")
else()
  # CPACK_PACKAGE_FILES names each package where CPack made it; it is then
  # moved to CPACK_PACKAGE_DIRECTORY, where the sums go too.
  foreach(package ${CPACK_PACKAGE_FILES})
    get_filename_component(name "${package}" NAME)
    string(REGEX REPLACE "\\.zip$" ".SHA256SUMS" name "${name}")
    file(COPY_FILE "${CPACK_RUD_ZIP_SUMS}" "${CPACK_PACKAGE_DIRECTORY}/${name}")
  endforeach()
endif()
