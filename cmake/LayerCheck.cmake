# The layers, lowest first: vst2 <- host <- engine <- editor, and the editor also on presets, skin and
# platform. The engine builds on the plug-in frame alone, so a benchmark or a DSP test links it without
# files or windows, and the shipped plug-in never contains the in-memory test window. Configuring fails
# when a link breaks either rule.

# The libraries target links, directly or through others, as target names (system libraries, flags and
# generator expressions are left out).
function(vorelan_link_closure target out)
    set(seen)
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending current)
        foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(libraries ${current} ${property})
            if(NOT libraries)
                continue()
            endif()
            foreach(library ${libraries})
                if(TARGET ${library} AND NOT library IN_LIST seen)
                    get_target_property(aliased ${library} ALIASED_TARGET)
                    if(aliased)
                        set(library ${aliased})
                    endif()
                    list(APPEND seen ${library})
                    list(APPEND pending ${library})
                endif()
            endforeach()
        endforeach()
    endwhile()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(vorelan_check_layers)
    if(TARGET vorelan_engine)
        vorelan_link_closure(vorelan_engine engine_links)
        foreach(library ${engine_links})
            if(library MATCHES "^vorelan_" AND NOT library MATCHES "^vorelan_(host|vst2)$")
                message(FATAL_ERROR "vorelan_engine links ${library}: the engine may link only the plug-in "
                                    "frame (vorelan_host, vorelan_vst2)")
            endif()
        endforeach()
    endif()
    if(TARGET vorelan_plugin)
        vorelan_link_closure(vorelan_plugin plugin_links)
        if(vorelan_platform_headless IN_LIST plugin_links)
            message(FATAL_ERROR "vorelan_plugin links vorelan_platform_headless: the shipped plug-in must not "
                                "contain the in-memory test window")
        endif()
    endif()
endfunction()
