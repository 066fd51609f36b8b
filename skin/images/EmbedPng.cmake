# Turns one file into a C++ byte array: cmake -DINPUT=... -DOUTPUT=... -DSYMBOL=... -P EmbedPng.cmake
# Runs in CMake itself, so cross builds need no native helper program.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the initialiser into lines of 32 bytes so compilers and editors cope with it.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
    "// Generated from ${INPUT} by EmbedPng.cmake; do not edit.\n"
    "#include <cstddef>\n#include <cstdint>\n\n"
    "namespace skin::images::data {\n"
    "extern const std::uint8_t ${SYMBOL}[];\n"
    "extern const std::size_t ${SYMBOL}Size;\n"
    "const std::uint8_t ${SYMBOL}[] = {\n${bytes}\n};\n"
    "const std::size_t ${SYMBOL}Size = ${size};\n"
    "} // namespace skin::images::data\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
