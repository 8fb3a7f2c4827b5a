# vantor_library(NAME DIR SOURCES ... [DEPENDS lib ...] [EXTERNAL lib ...])
#
# Declares one engine library: a static library built from SOURCES, whose
# headers are included by their paths under source/ ("Core/ArrayList.h").
# DEPENDS names the engine libraries below it (public), EXTERNAL the outside
# libraries it needs. Headers of DIR (not of its subfolders) are installed
# under include/vantor/DIR.
function(vantor_library name dir)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;EXTERNAL" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    add_library(Vantor::${name} ALIAS ${name})
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/source>
        $<INSTALL_INTERFACE:include/vantor>)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} ${ARG_EXTERNAL})
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/source/${dir}/*.h)
    install(FILES ${headers} DESTINATION include/vantor/${dir})
    set_property(GLOBAL APPEND PROPERTY VANTOR_EXPORTED_TARGETS ${name})
endfunction()
