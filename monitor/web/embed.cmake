# cmake -DINDEX=index.html -DWEB_DIR=... -DLIB_DIR=... -DOUTPUT=header.h -P embed.cmake
#
# Writes the page as one document into a C++ header (kPageBytes): each
# <link rel="stylesheet" href="F"> and <script src="F"></script> of INDEX is
# replaced by F's text inline, F taken from WEB_DIR or else LIB_DIR. The
# header is rewritten only when the page changed.
file(READ ${INDEX} html)
string(REGEX MATCHALL "<link rel=\"stylesheet\" href=\"[^\"]+\">|<script src=\"[^\"]+\"></script>"
       references "${html}")
foreach(reference IN LISTS references)
    string(REGEX REPLACE ".*(href|src)=\"([^\"]+)\".*" "\\2" name "${reference}")
    if(EXISTS ${WEB_DIR}/${name})
        set(path ${WEB_DIR}/${name})
    elseif(EXISTS ${LIB_DIR}/${name})
        set(path ${LIB_DIR}/${name})
    else()
        message(FATAL_ERROR "${INDEX} names ${name}, found in neither ${WEB_DIR} nor ${LIB_DIR}")
    endif()
    file(READ ${path} text)
    # Inline, these would end the element early.
    if(text MATCHES "</[sS][cC][rR][iI][pP][tT]|</[sS][tT][yY][lL][eE]")
        message(FATAL_ERROR "${path} holds a closing script or style tag; it cannot be inlined")
    endif()
    if(reference MATCHES "^<link")
        set(inline "<style>/* ${name} */\n${text}\n</style>")
    else()
        set(inline "<script>/* ${name} */\n${text}\n</script>")
    endif()
    string(REPLACE "${reference}" "${inline}" html "${html}")
endforeach()

file(WRITE ${OUTPUT}.html "${html}")
file(READ ${OUTPUT}.html hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.new
     "// Generated from monitor/web/ by embed.cmake at build time: do not edit.\n"
     "// The monitor's page, ${size} bytes, with its scripts and styles inline.\n"
     "#pragma once\n\n"
     "static const unsigned char kPageBytes[] = {\n${bytes}\n};\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
