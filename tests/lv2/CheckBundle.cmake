# cmake -DDIST=<folder holding VorelanEn2.lv2> -DSPECS=<folder of the LV2 vocabularies' bundles> -P CheckBundle.cmake
#
# The bundle through the LV2 world's own tools: sord_validate finds no error against the specifications,
# lv2ls lists the plug-in and lv2info shows 2 + 2 audio ports, 181 control inputs and 29 presets. Its two
# binaries export their descriptor function alone, and the processor links no window system, as hosts
# load it headless.

cmake_minimum_required(VERSION 3.25)
set(uri urn:qarnoaudio:vorelanen2)

foreach(tool sord_validate lv2ls lv2info nm readelf)
    find_program(${tool}_path ${tool})
    if(NOT ${tool}_path)
        message(FATAL_ERROR "${tool} is not installed (scripts/install-deps installs it)")
    endif()
endforeach()

# Every LV2 vocabulary the bundle refers to, directly or through another: leaving one out gives errors
# that are not the bundle's.
set(vocabularies)
foreach(vocabulary core atom ui units time urid state presets port-groups port-props options buf-size parameters patch
             midi resize-port data-access instance-access worker log morph dynmanifest event uri-map schemas)
    file(GLOB files ${SPECS}/${vocabulary}.lv2/*.ttl)
    list(APPEND vocabularies ${files})
endforeach()
file(GLOB bundle ${DIST}/VorelanEn2.lv2/*.ttl ${DIST}/VorelanEn2.lv2/presets/*.ttl)
execute_process(COMMAND ${sord_validate_path} ${vocabularies} ${bundle} OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT out MATCHES "Found 0 errors")
    message(FATAL_ERROR "sord_validate finds fault with the bundle:\n${out}")
endif()

set(ENV{LV2_PATH} ${DIST})
execute_process(COMMAND ${lv2ls_path} OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT out MATCHES "(^|\n)${uri}\n")
    message(FATAL_ERROR "lv2ls does not list ${uri}:\n${out}")
endif()

# lv2info prints each port's two types on two lines, in either order, and the presets one a line
# after "Presets:".
execute_process(COMMAND ${lv2info_path} ${uri} OUTPUT_VARIABLE out ERROR_VARIABLE out)
set(core "http://lv2plug.in/ns/lv2core#")
function(expect_ports what kind direction expected)
    set(a "${core}${kind}")
    set(b "${core}${direction}")
    string(REGEX MATCHALL "Type:[ \t]+(${a}\n[ \t]+${b}|${b}\n[ \t]+${a})\n" found "${out}")
    list(LENGTH found count)
    if(NOT count EQUAL expected)
        message(FATAL_ERROR "lv2info shows ${count} ${what}, not ${expected}")
    endif()
endfunction()
expect_ports("audio inputs" AudioPort InputPort 2)
expect_ports("audio outputs" AudioPort OutputPort 2)
expect_ports("control inputs" ControlPort InputPort 181)
string(REGEX MATCH "Presets:[^\n]*\n([ \t]+[^ \t\n][^\n]*\n)*" presets "${out}")
string(REGEX MATCHALL "\n" lines "${presets}")
list(LENGTH lines count)
math(EXPR count "${count} - 1")
if(NOT count EQUAL 29)
    message(FATAL_ERROR "lv2info shows ${count} presets, not 29:\n${presets}")
endif()
foreach(pair "VorelanEn2_dsp.so:lv2_descriptor" "VorelanEn2_ui.so:lv2ui_descriptor")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 binary)
    list(GET pair 1 expected)
    execute_process(COMMAND ${nm_path} -D --defined-only ${DIST}/VorelanEn2.lv2/${binary} OUTPUT_VARIABLE out
                    RESULT_VARIABLE rc)
    string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [^\n]+" lines "${out}")
    list(TRANSFORM lines REPLACE "^[0-9a-fA-F]+ [A-Za-z] " "")
    if(NOT rc EQUAL 0 OR NOT lines STREQUAL expected)
        message(FATAL_ERROR "${binary} exports '${lines}', expected only ${expected}")
    endif()
endforeach()
execute_process(COMMAND ${readelf_path} -d ${DIST}/VorelanEn2.lv2/VorelanEn2_dsp.so OUTPUT_VARIABLE out)
if(out MATCHES "NEEDED[^\n]*lib(X|x)")
    message(FATAL_ERROR "VorelanEn2_dsp.so links a window system library:\n${out}")
endif()
message(STATUS "sord_validate, lv2ls and lv2info accept the bundle: 2 + 2 audio ports, 181 controls, 29 presets")
