# Debian's flags for a package build, as dpkg-buildflags gives them, with every hardening feature
# (stack protector, fortified functions, PIE, RELRO and immediate binding): added to the flags of
# every build type, so the package's programs carry them whatever CMAKE_BUILD_TYPE says.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
function(quillon_debian_flag name out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                          ${DPKG_BUILDFLAGS} --get ${name}
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${flags}" PARENT_SCOPE)
endfunction()
quillon_debian_flag(CPPFLAGS debian_cppflags)
quillon_debian_flag(CXXFLAGS debian_cxxflags)
quillon_debian_flag(LDFLAGS debian_ldflags)
separate_arguments(debian_compile UNIX_COMMAND "${debian_cppflags} ${debian_cxxflags}")
separate_arguments(debian_link UNIX_COMMAND "${debian_ldflags}")
add_compile_options(${debian_compile})
add_link_options(${debian_link})
message(STATUS "Debian build flags: ${debian_cppflags} ${debian_cxxflags} | ${debian_ldflags}")
