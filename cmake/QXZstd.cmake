# qx_zstd: the zstd library of the target. Linux links Debian's libzstd. Debian has no mingw
# zstd, so the Windows build compiles the decoder (the launcher only applies patches) from
# Debian's source package, fetched once into build/deps by scripts/fetch-zstd-source.
if(WIN32)
    set(QX_ZSTD_DEPS "${PROJECT_SOURCE_DIR}/build/deps/zstd" CACHE PATH
        "where scripts/fetch-zstd-source unpacks Debian's zstd source")
    if(NOT EXISTS "${QX_ZSTD_DEPS}/src/lib/zstd.h")
        execute_process(COMMAND "${PROJECT_SOURCE_DIR}/scripts/fetch-zstd-source" "${QX_ZSTD_DEPS}"
                        RESULT_VARIABLE qx_zstd_fetch)
        if(NOT qx_zstd_fetch EQUAL 0)
            message(FATAL_ERROR "scripts/fetch-zstd-source ${QX_ZSTD_DEPS} failed")
        endif()
    endif()
    file(GLOB QX_ZSTD_SOURCES "${QX_ZSTD_DEPS}/src/lib/common/*.c"
                              "${QX_ZSTD_DEPS}/src/lib/decompress/*.c")
    add_library(qx_zstd STATIC ${QX_ZSTD_SOURCES})
    target_include_directories(qx_zstd SYSTEM PUBLIC "${QX_ZSTD_DEPS}/src/lib")
    target_compile_definitions(qx_zstd PRIVATE XXH_NAMESPACE=ZSTD_ ZSTD_LEGACY_SUPPORT=0
                                               ZSTD_DISABLE_ASM)
else()
    find_package(zstd 1.4 CONFIG REQUIRED)
    add_library(qx_zstd INTERFACE)
    target_link_libraries(qx_zstd INTERFACE zstd::libzstd_shared)
endif()
