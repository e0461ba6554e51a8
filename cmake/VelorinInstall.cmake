# The install rules of the engine libraries and the CMake package that
# find_package(Velorin) reads.
#
# velorin_install_library(target) installs one library of the engine layers:
# the archive under lib/, the headers of its folder under include/velorin/<folder>/
# (so that #include "engine/vr6_DBF.h" works the same in and out of the tree),
# and the target in the export set VelorinTargets as Velorin::<folder>
# (velorin_engine becomes Velorin::engine). A static library carries its link
# dependencies into the export, so every library the installed ones link must be
# installed as well: configuring fails with "requires target ... that is not in
# any export set" until it is.
#
# velorin_install_package() writes the package files once every library is
# installed; the top-level CMakeLists.txt calls it last.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELORIN_INCLUDE_DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velorin)
set(VELORIN_PACKAGE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Velorin)

function(velorin_install_library target)
  get_target_property(folder ${target} SOURCE_DIR)
  file(RELATIVE_PATH folder_name ${PROJECT_SOURCE_DIR} ${folder})
  string(REGEX REPLACE "^velorin_" "" export_name ${target})

  # The folders name the project root as their include directory; in the tree it
  # stays so, installed it is include/velorin.
  get_target_property(includes ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set(interface_includes)
  foreach(directory IN LISTS includes)
    if(directory STREQUAL PROJECT_SOURCE_DIR)
      list(APPEND interface_includes "$<BUILD_INTERFACE:${directory}>")
    else()
      list(APPEND interface_includes "${directory}")
    endif()
  endforeach()
  list(APPEND interface_includes "$<INSTALL_INTERFACE:${VELORIN_INCLUDE_DESTINATION}>")
  set_target_properties(${target} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${interface_includes}"
    EXPORT_NAME ${export_name})
  target_compile_features(${target} PUBLIC cxx_std_20)
  if(VELORIN_SANITIZE)
    # A sanitizer build's archives need the sanitizer runtime in whatever links them.
    target_link_options(${target} INTERFACE
      "$<INSTALL_INTERFACE:-fsanitize=address,undefined>" "$<INSTALL_INTERFACE:-fno-sanitize-recover=all>")
  endif()

  install(TARGETS ${target} EXPORT VelorinTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  file(GLOB headers ${folder}/*.h)
  install(FILES ${headers} DESTINATION ${VELORIN_INCLUDE_DESTINATION}/${folder_name} COMPONENT development)
endfunction()

function(velorin_install_package)
  install(EXPORT VelorinTargets NAMESPACE Velorin::
    DESTINATION ${VELORIN_PACKAGE_DESTINATION} COMPONENT development)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelorinConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VelorinConfig.cmake
    INSTALL_DESTINATION ${VELORIN_PACKAGE_DESTINATION})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelorinConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/VelorinConfig.cmake ${PROJECT_BINARY_DIR}/VelorinConfigVersion.cmake
    DESTINATION ${VELORIN_PACKAGE_DESTINATION} COMPONENT development)
endfunction()
