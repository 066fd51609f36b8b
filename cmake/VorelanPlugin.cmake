# vorelan_add_plugin(<target> OUTPUT_NAME <name> LIBRARIES <libs...> [SOURCES <extra sources...>])
#
# A VST 2 plug-in binary around the frame's entry point: on Linux a shared object exporting only
# main and VSTPluginMain, on Windows a DLL exporting only main, linked statically against the
# compiler runtime so that it imports system DLLs alone.
function(vorelan_add_plugin target)
    cmake_parse_arguments(PLUGIN "" "OUTPUT_NAME" "LIBRARIES;SOURCES" ${ARGN})
    add_library(${target} MODULE ${CMAKE_SOURCE_DIR}/host/PluginMain.cpp ${PLUGIN_SOURCES})
    target_link_libraries(${target} PRIVATE ${PLUGIN_LIBRARIES})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${PLUGIN_OUTPUT_NAME})
    if(VORELAN_WINDOWS)
        set_target_properties(${target} PROPERTIES SUFFIX ".dll")
        target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/plugin/VorelanEn2.def)
        target_link_options(${target} PRIVATE -static -Wl,--no-undefined)
    else()
        set_target_properties(${target} PROPERTIES SUFFIX ".so" LINK_DEPENDS
                                                   ${CMAKE_SOURCE_DIR}/plugin/VorelanEn2.map)
        target_link_options(${target} PRIVATE -Wl,--version-script=${CMAKE_SOURCE_DIR}/plugin/VorelanEn2.map
                            -Wl,--no-undefined)
    endif()
endfunction()
