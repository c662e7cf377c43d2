# Applies TK_SANITIZE to everything built after this point.
if(TK_SANITIZE)
    message(STATUS "Building with -fsanitize=${TK_SANITIZE}")
    add_compile_options(-fsanitize=${TK_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all -g)
    add_link_options(-fsanitize=${TK_SANITIZE})
endif()
