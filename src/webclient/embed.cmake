# Writes OUTPUT, a C++ source whose function webclient::generated::SYMBOL()
# returns the bytes of INPUT unchanged. Run at build time by the rule that
# CMakeLists.txt makes for each file, so an edited file is embedded anew.
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DSYMBOL=name -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")

# Every byte as a \xHH escape, 32 bytes to a line of adjacent literals. Each
# escape is followed by another backslash or a quote, so no escape can run on
# into the next byte's digits.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
string(REPEAT "\\\\x[0-9a-f][0-9a-f]" 32 line)
string(REGEX REPLACE "(${line})" "\\1\"\n    \"" escaped "${escaped}")

get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp"
"// Embedded from files/${name} at build time; edit that file instead.
#include <string_view>

namespace webclient::generated {
namespace {
constexpr char ${SYMBOL}_bytes[${size} + 1] =
    \"${escaped}\";
}

std::string_view ${SYMBOL}() { return {${SYMBOL}_bytes, ${size}}; }

} // namespace webclient::generated
")
# Only a changed source is rewritten, so unchanged files are not recompiled.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
