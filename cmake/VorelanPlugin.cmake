# vorelan_add_plugin(<target> OUTPUT_NAME <name> LIBRARIES <libs...> [SOURCES <extra sources...>]
#                    [DEBUG_DIR <dir>])
#
# A VST 2 plug-in binary around the frame's entry point: on Linux a shared object exporting only
# main and VSTPluginMain, on Windows a DLL exporting only main, linked statically against the
# compiler runtime so that it imports system DLLs alone.
#
# A release build is stripped after linking. Its symbols and debug information (on Windows mostly
# the statically linked runtime's) go to <binary file name>.debug in DEBUG_DIR (default: beside the
# binary), which the binary names in its .gnu_debuglink section, so debuggers and symbolisers that
# are shown the file find them.
function(vorelan_add_plugin target)
    cmake_parse_arguments(PLUGIN "" "OUTPUT_NAME;DEBUG_DIR" "LIBRARIES;SOURCES" ${ARGN})
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

    vorelan_split_debug_info(${target} "${PLUGIN_DEBUG_DIR}")
endfunction()

# vorelan_split_debug_info(<target> <debug dir>): in a release build, strips the shipped binary after
# linking and keeps its symbols in <debug dir> (default: beside the binary), as described above. The LV2
# binaries use it too.
function(vorelan_split_debug_info target debug_dir)
    if(CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$" AND NOT VORELAN_TSAN AND CMAKE_OBJCOPY)
        if(NOT debug_dir)
            set(debug_dir $<TARGET_FILE_DIR:${target}>)
        endif()
        set(debug_file ${debug_dir}/$<TARGET_FILE_NAME:${target}>.debug)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${debug_dir}
            COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${debug_file}
            COMMAND ${CMAKE_OBJCOPY} --strip-unneeded --add-gnu-debuglink=${debug_file} $<TARGET_FILE:${target}>
            VERBATIM)
    endif()
endfunction()
