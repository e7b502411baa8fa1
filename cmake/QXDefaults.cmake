# Project-wide compiler settings, applied per target so that third-party code keeps its own.
add_library(qx_defaults INTERFACE)
target_compile_options(qx_defaults INTERFACE -Wall -Wextra -Werror)

if(WIN32)
    # Wide Win32 API everywhere; no <windows.h> min/max macros.
    target_compile_definitions(qx_defaults INTERFACE UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
                                                     _WIN32_WINNT=0x0601)
endif()

if(QX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# Links qx_defaults and, for targets of the portable core, puts the forbidden-header folder
# first on the include path: a platform, curl or toolkit include there fails the build.
function(qx_portable_target target)
    target_link_libraries(${target} PRIVATE qx_defaults)
    target_include_directories(${target} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/cmake/forbidden)
endfunction()
