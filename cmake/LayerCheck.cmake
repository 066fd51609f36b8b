# The layers, lowest first: the effect core (engine) and the VST 2 frame (vst2 <- host) side by side, the
# VST 2 adapter (vorelan_vst2_effect) over both, the editor over the core, presets, skin and platform. The
# core links nothing of the project, so a plug-in format, a benchmark or a DSP test takes it without a
# plug-in frame, files or windows; the adapter links the core and the frame alone; and the shipped
# plug-in never contains the in-memory test window. Configuring fails when a link breaks a rule.

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
            if(library MATCHES "^vorelan_")
                message(FATAL_ERROR "vorelan_engine links ${library}: the effect core links no other library "
                                    "of the project (no plug-in frame, no files, no windows)")
            endif()
        endforeach()
    endif()
    if(TARGET vorelan_vst2_effect)
        vorelan_link_closure(vorelan_vst2_effect adapter_links)
        foreach(library ${adapter_links})
            if(library MATCHES "^vorelan_" AND NOT library MATCHES "^vorelan_(engine|host|vst2)$")
                message(FATAL_ERROR "vorelan_vst2_effect links ${library}: the VST 2 adapter may link only the "
                                    "effect core and the VST 2 frame")
            endif()
        endforeach()
    endif()
    if(TARGET vorelan_lv2_dsp)
        vorelan_link_closure(vorelan_lv2_dsp dsp_links)
        foreach(library ${dsp_links})
            if(library MATCHES "^vorelan_" AND NOT library MATCHES "^vorelan_(engine|vst2)$")
                message(FATAL_ERROR "vorelan_lv2_dsp links ${library}: the LV2 processor links only the effect core "
                                    "(and the header of the floating-point guard); hosts load it without windows")
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
