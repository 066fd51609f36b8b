# cmake -DROOT=<source tree> -P CheckLayerIncludes.cmake
#
# The includes of the tree point down the layers: the binary-interface header, the plug-in frame and the
# engine include nothing of the presets, the editor, the control kit or the platform; the frame nothing
# of the engine; and the presets use of the platform only its folder lookup.

cmake_minimum_required(VERSION 3.25)

set(violations)

# rule(<folder> <forbidden include regex> <why> [<allowed header>...])
function(rule folder forbidden why)
    file(GLOB_RECURSE sources ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
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

rule(vst2 "^(host|engine|presets|editor|skin|platform)/" "vst2/ knows nothing else")
rule(host "^(engine|presets|editor|skin|platform)/" "host/ is the reusable frame")
rule(engine "^(presets|editor|skin|platform)/" "the engine builds on host/ alone")
rule(presets "^(engine|editor|skin|platform)/"
     "presets/ uses of the platform only its folder lookup and code page" platform/Folders.h platform/CodePage.h)
rule(platform "^(vst2|host|engine|presets|editor)/"
     "platform/ is the OS layer; of the plug-in's own code it uses only the floating-point guard"
     vst2/FloatingPointGuard.h)
rule(skin "^(engine|presets|editor)/" "skin/ is a reusable control kit")

if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "Includes that point up the layers:\n  ${text}")
endif()
message(STATUS "Every include points down the layers")
