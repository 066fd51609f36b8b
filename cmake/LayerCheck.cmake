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

# Fails configuring when target links a library of the project (vorelan_*) other than the allowed ones
# (a regular expression of names, empty for none); why says what the layer is for.
function(vorelan_allow_links target allowed why)
    if(NOT TARGET ${target})
        return()
    endif()
    vorelan_link_closure(${target} links)
    foreach(library ${links})
        if(library MATCHES "^vorelan_" AND (allowed STREQUAL "" OR NOT library MATCHES "^(${allowed})$"))
            message(FATAL_ERROR "${target} links ${library}: ${why}")
        endif()
    endforeach()
endfunction()

function(vorelan_check_layers)
    vorelan_allow_links(vorelan_engine ""
        "the effect core links no other library of the project (no plug-in frame, no files, no windows)")
    vorelan_allow_links(vorelan_vst2_effect "vorelan_engine|vorelan_host|vorelan_vst2"
        "the VST 2 adapter may link only the effect core and the VST 2 frame")
    vorelan_allow_links(vorelan_lv2_dsp "vorelan_engine|vorelan_vst2"
        "the LV2 processor links only the effect core (and the header of the floating-point guard); hosts load it without windows")
    if(TARGET vorelan_plugin)
        vorelan_link_closure(vorelan_plugin plugin_links)
        if(vorelan_platform_headless IN_LIST plugin_links)
            message(FATAL_ERROR "vorelan_plugin links vorelan_platform_headless: the shipped plug-in must not "
                                "contain the in-memory test window")
        endif()
    endif()
endfunction()
