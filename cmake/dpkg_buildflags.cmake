# The Linux program is built with the flags a Debian package is built with:
# what `dpkg-buildflags` gives with every hardening feature on (fortified C
# library calls, stack protector, format checks, relro and immediate binding;
# the compiler makes position-independent executables by default). They apply
# to the program and its core only: the sanitized core of the tests has its
# own instrumentation, which fortified calls would only get in the way of.
#
# Without dpkg-buildflags (another distribution), or with
# -DRUD_DPKG_BUILDFLAGS=OFF, the build keeps the compiler's own defaults.
find_program(RUD_DPKG_BUILDFLAGS_PROGRAM dpkg-buildflags)
if(RUD_DPKG_BUILDFLAGS_PROGRAM)
  set(rud_dpkg_default ON)
else()
  set(rud_dpkg_default OFF)
endif()
option(RUD_DPKG_BUILDFLAGS "Build the Linux program with dpkg-buildflags' hardening flags" ${rud_dpkg_default})

# rud_dpkg_buildflags(TARGET...): the flags, on each target given.
function(rud_dpkg_buildflags)
  if(NOT RUD_DPKG_BUILDFLAGS OR NOT RUD_DPKG_BUILDFLAGS_PROGRAM)
    return()
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    # Run from the source folder, so that -ffile-prefix-map maps it to ".".
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${RUD_DPKG_BUILDFLAGS_PROGRAM} --get ${kind}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed; -DRUD_DPKG_BUILDFLAGS=OFF builds without it")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${kind} ${flags})
  endforeach()
  foreach(target ${ARGN})
    target_compile_options(${target} PRIVATE ${CPPFLAGS} ${CXXFLAGS})
    target_link_options(${target} PRIVATE ${LDFLAGS})
  endforeach()
endfunction()
