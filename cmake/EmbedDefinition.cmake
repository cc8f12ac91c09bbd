# cmake -DINPUT=<definition> -DOUTPUT=<source.cpp> -P EmbedDefinition.cmake
# Writes a source that registers the definition's text (as bytes, so any
# character of the text survives) when the program starts.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.
#include \"platform/vcl/Definitions.h\"

namespace {
const char kText[] = {
${bytes}0};
struct Registrar {
  Registrar() { RegisterWindowDefinition(kText); }
} registrar;
}  // namespace
")
