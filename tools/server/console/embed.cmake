# Writes OUT, a C++ file holding each of FILES ('|'-separated) as a text the console serves
# under its file name. Run at build time, so the console's files and the charting library
# travel inside qxserver and nothing is fetched at run time.
string(REPLACE "|" ";" files "${FILES}")
set(body "// Generated from tools/server/console by embed.cmake: do not edit.\n")
string(APPEND body "#include \"QXConsoleAssets.h\"\n\nconst std::vector<SQXConsoleAsset>& QXConsoleAssets() {\n")
string(APPEND body "    static const std::vector<SQXConsoleAsset> assets = {\n")
foreach(file IN LISTS files)
    get_filename_component(name "${file}" NAME)
    file(READ "${file}" content)
    string(FIND "${content}" ")qxasset\"" clash)
    if(NOT clash EQUAL -1)
        message(FATAL_ERROR "${file} holds the text that ends an embedded asset")
    endif()
    string(APPEND body "        {\"${name}\", R\"qxasset(${content})qxasset\"},\n")
endforeach()
string(APPEND body "    };\n    return assets;\n}\n")
file(WRITE "${OUT}.tmp" "${body}")
file(RENAME "${OUT}.tmp" "${OUT}")
