# Fails unless each object file of the fast engine's per-instruction-set kernels defines, apart from
# symbols local to it and shared constant data, only its one entry function as code. Code those units
# compile with AVX flags must not stand in, through the linker's merging of inline functions, for code
# that runs on every processor.
#   cmake -DNM=<nm> -DOBJECTS=<obj;obj;...> -P CheckKernelSymbols.cmake
foreach(object ${OBJECTS})
    if(NOT object MATCHES "Kernel(Sse2|Avx2|Avx512)\\.cpp\\.o(bj)?$")
        continue()
    endif()
    set(isa ${CMAKE_MATCH_1})
    execute_process(COMMAND ${NM} --defined-only ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${NM} failed on ${object}")
    endif()
    string(REPLACE "\n" ";" lines "${symbols}")
    set(entries 0)
    foreach(line ${lines})
        # Global code carries T (or W for a weak function, i for an indirect one). Shared data (inline
        # constants the optimiser kept: D, R, B, V, u) is the same bytes whatever the instruction set, so it
        # may be merged.
        if(NOT line MATCHES " [TWi] ([^ ]+)$")
            continue()
        endif()
        set(name ${CMAKE_MATCH_1})
        if(name MATCHES "FrameKernel${isa}")
            math(EXPR entries "${entries} + 1")
        else()
            message(FATAL_ERROR "${object} defines the shared code symbol ${name}")
        endif()
    endforeach()
    if(NOT entries EQUAL 1)
        message(FATAL_ERROR "${object} does not define its entry FrameKernel${isa}")
    endif()
    message(STATUS "${object}: only FrameKernel${isa}")
endforeach()
