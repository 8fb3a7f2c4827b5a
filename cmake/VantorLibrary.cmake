# vantor_library(NAME DIR SOURCES ... [DEPENDS lib ...] [EXTERNAL lib ...] [HEADER_DIRS dir ...])
#
# Declares one engine library: a static library built from SOURCES, whose
# headers are included by their paths under source/ ("Core/ArrayList.h").
# DEPENDS names the engine libraries below it (public), EXTERNAL the outside
# libraries it needs. Headers of DIR and of each HEADER_DIRS folder (not of
# their subfolders) are installed under include/vantor/ with the same paths.
function(vantor_library name dir)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;EXTERNAL;HEADER_DIRS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    add_library(Vantor::${name} ALIAS ${name})
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/source>
        $<INSTALL_INTERFACE:include/vantor>)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} ${ARG_EXTERNAL})
    foreach(headerDir ${dir} ${ARG_HEADER_DIRS})
        file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/source/${headerDir}/*.h)
        install(FILES ${headers} DESTINATION include/vantor/${headerDir})
    endforeach()
    set_property(GLOBAL APPEND PROPERTY VANTOR_EXPORTED_TARGETS ${name})
endfunction()
