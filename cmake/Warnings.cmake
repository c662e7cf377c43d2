# Compiler warnings shared by every target of the project.
function(tk_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wcast-qual -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations
        -Wundef -Wvla)
    if(TK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
