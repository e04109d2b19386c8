# The linear-memory stack of an Emscripten program, sized on purpose: the toolchain's default was
# 5 MiB up to Emscripten 3.1.26 and is 64 KiB since (Debian 12 has 3.1.6, Debian 13 3.1.69), and a
# program needing more than that overflows at once. The setting was named TOTAL_STACK before
# 3.1.27 and STACK_SIZE since.
function(skorvane_stack_size target scope bytes)
    if(EMSCRIPTEN_VERSION VERSION_LESS 3.1.27)
        target_link_options(${target} ${scope} -sTOTAL_STACK=${bytes})
    else()
        target_link_options(${target} ${scope} -sSTACK_SIZE=${bytes})
    endif()
endfunction()
