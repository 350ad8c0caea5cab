# Helpers shared by the top-level build, the tests and application developers.

# quillet_package_webapp(<target> <web folder> <icon> <output folder>)
# Packages <web folder> into <output folder>/Widget.rcc with `rcc -binary`
# (the folder's files appear at the resource root) and copies <icon> beside it
# as icon.ico, through tools/quillet-package. Rebuilt whenever a file of the
# folder changes.
function(quillet_package_webapp target webdir icon outdir)
  get_target_property(_rcc Qt5::rcc IMPORTED_LOCATION)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS "${webdir}/*")
  set(_stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.stamp")
  add_custom_command(
    OUTPUT "${_stamp}"
    COMMAND "${CMAKE_COMMAND}" -E env "QUILLET_RCC=${_rcc}"
            "${PROJECT_SOURCE_DIR}/tools/quillet-package" "${webdir}" "${outdir}" "${icon}"
    COMMAND "${CMAKE_COMMAND}" -E touch "${_stamp}"
    DEPENDS ${_files} "${icon}" "${PROJECT_SOURCE_DIR}/tools/quillet-package"
    COMMENT "Packaging ${webdir} into Widget.rcc"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${_stamp}")
endfunction()
