# cmake -DROOT=<source tree> -P CheckLayerIncludes.cmake
#
# The includes of the tree point down the layers: the binary-interface header and the plug-in frame include
# nothing of the effect, the presets, the editor, the control kit or the platform; the effect core knows no
# plug-in format (of host/ only the format-free helpers); the editor knows its effect only through its
# link, not the VST 2 frame; the VST 2 adapter (plugin/TPlugin) only the editor's link interfaces; the LV2
# processor neither the editor nor the platform, and the LV2 interface nothing of either VST 2 layer; and
# the presets use of the platform only its folder lookup.

cmake_minimum_required(VERSION 3.25)

set(violations)

# rule(<folder or file pattern> <forbidden include regex> <why> [<allowed header>...])
function(rule folder forbidden why)
    if(folder MATCHES "[*]")
        file(GLOB sources ${ROOT}/${folder})
    else()
        file(GLOB_RECURSE sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
    endif()
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line ${includes})
            string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
            if(header MATCHES "${forbidden}" AND NOT header IN_LIST ARGN)
                file(RELATIVE_PATH shown ${ROOT} ${source})
                list(APPEND violations "${shown} includes ${header}: ${why}")
            endif()
        endforeach()
    endforeach()
    set(violations ${violations} PARENT_SCOPE)
endfunction()

rule(vst2 "^(host|engine|plugin|presets|editor|skin|platform)/" "vst2/ knows nothing else")
rule(host "^(engine|plugin|presets|editor|skin|platform)/" "host/ is the reusable frame")
rule(engine "^(vst2|host|plugin|presets|editor|skin|platform)/"
     "engine/ is the effect core, free of any plug-in format; of host/ it uses only the format-free helpers"
     host/RelaxedAtomic.h host/Rounding.h host/RandomGenerator.h)
rule("plugin/TPlugin.*" "^(presets|editor|skin|platform)/"
     "the VST 2 adapter knows the editor only through its link interfaces" editor/EffectLink.h
     editor/EditorExchange.h)
rule(editor "^(vst2|plugin)/|^host/"
     "the editor reaches its effect through its link, not through the VST 2 frame" host/EditorFormFactory.h
     host/Rounding.h host/Text.h)
rule(presets "^(engine|editor|skin|platform)/"
     "presets/ uses of the platform only its folder lookup and code page" platform/Folders.h platform/CodePage.h)
rule(platform "^(vst2|host|engine|presets|editor)/"
     "platform/ is the OS layer; of the plug-in's own code it uses only the floating-point guard"
     vst2/FloatingPointGuard.h)
rule(skin "^(engine|presets|editor)/" "skin/ is a reusable control kit")
rule("lv2/Lv2Processor*" "^(vst2|host|plugin|presets|editor|skin|platform)/"
     "the LV2 processor is the core behind ports, with no window system" vst2/FloatingPointGuard.h)
rule("lv2/Lv2Ui*" "^(vst2|host|plugin)/"
     "the LV2 interface reaches its effect only through the host" vst2/FloatingPointGuard.h)

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Includes that point up the layers:\n  ${text}")
endif()
message(STATUS "Every include points down the layers")
