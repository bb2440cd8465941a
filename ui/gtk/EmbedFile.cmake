# Writes the bytes of a file as a C++ array, for programs that carry a file inside them.
#   cmake -DINPUT=file -DOUTPUT=header.h -DNAME=kArrayName -P EmbedFile.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n  "
       bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}" "// Generated from ${name} at build time; do not edit.\n#pragma once\n\n"
     "inline constexpr unsigned char ${NAME}[] = {\n  ${bytes}\n};\n")
