# The pictures the launcher carries: the splash bitmap and the application icon, drawn at build
# time by the scripts beside this file, and C++ sources holding their bytes.

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Generates into dir:
#   qxlauncher_splash.bmp   the built-in splash picture (bitmap 132)
#   qxlauncher.ico          the application icon (icon 116)
#   QXBuiltInSplash.cpp     qxplat::BuiltInSplashBitmap(): the bytes of the .bmp file
#   QXBuiltInIcon.cpp       qxplat::BuiltInIcon(): the bytes of the .ico file
# and sets in the caller's scope QX_SPLASH_BMP and QX_ICON_ICO to the pictures' paths and
# QX_PICTURES_CPP to the two sources.
# The custom target qx_pictures builds them all.
function(qx_generate_pictures dir)
    set(scripts ${PROJECT_SOURCE_DIR}/cmake)
    set(bmp ${dir}/qxlauncher_splash.bmp)
    set(ico ${dir}/qxlauncher.ico)
    set(splash_cpp ${dir}/QXBuiltInSplash.cpp)
    set(icon_cpp ${dir}/QXBuiltInIcon.cpp)
    add_custom_command(OUTPUT ${bmp}
        COMMAND Python3::Interpreter ${scripts}/make_splash_bitmap.py ${bmp}
        DEPENDS ${scripts}/make_splash_bitmap.py
        COMMENT "Drawing the splash picture")
    add_custom_command(OUTPUT ${ico}
        COMMAND Python3::Interpreter ${scripts}/make_icon.py ${ico}
        DEPENDS ${scripts}/make_icon.py
        COMMENT "Drawing the application icon")
    add_custom_command(OUTPUT ${splash_cpp}
        COMMAND Python3::Interpreter ${scripts}/embed_file.py ${bmp} ${splash_cpp}
                BuiltInSplashBitmap
        DEPENDS ${scripts}/embed_file.py ${bmp}
        COMMENT "Embedding the splash picture")
    add_custom_command(OUTPUT ${icon_cpp}
        COMMAND Python3::Interpreter ${scripts}/embed_file.py ${ico} ${icon_cpp} BuiltInIcon
        DEPENDS ${scripts}/embed_file.py ${ico}
        COMMENT "Embedding the application icon")
    add_custom_target(qx_pictures DEPENDS ${bmp} ${ico} ${splash_cpp} ${icon_cpp})
    set(QX_SPLASH_BMP ${bmp} PARENT_SCOPE)
    set(QX_ICON_ICO ${ico} PARENT_SCOPE)
    set(QX_PICTURES_CPP ${splash_cpp} ${icon_cpp} PARENT_SCOPE)
endfunction()
