# Installs the engine libraries with a package config, so that an outside
# project can find_package(Vantor) and link Vantor::engine.
include(CMakePackageConfigHelpers)

get_property(exported GLOBAL PROPERTY VANTOR_EXPORTED_TARGETS)
install(TARGETS ${exported} EXPORT VantorTargets
    ARCHIVE DESTINATION lib
    INCLUDES DESTINATION include/vantor)
install(EXPORT VantorTargets NAMESPACE Vantor:: DESTINATION lib/cmake/Vantor)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantorConfig.cmake.in
    ${CMAKE_BINARY_DIR}/VantorConfig.cmake
    INSTALL_DESTINATION lib/cmake/Vantor)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VantorConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VantorConfig.cmake ${CMAKE_BINARY_DIR}/VantorConfigVersion.cmake
    DESTINATION lib/cmake/Vantor)
