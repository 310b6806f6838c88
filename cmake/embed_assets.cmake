# Writes a C++ source that holds the asset files as byte arrays, the scroll
# text in its script slot (data/assets.h).
# Usage: cmake -DOUT=file.cpp -DSRC=assets_dir -P embed_assets.cmake
function(read_bytes var size_var file)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "asset ${file} is missing")
  endif()
  file(READ ${file} hex HEX)
  file(SIZE ${file} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  set(${var} "${bytes}" PARENT_SCOPE)
  set(${size_var} ${size} PARENT_SCOPE)
endfunction()

function(embed_one var file type)
  read_bytes(bytes size ${file})
  set(body "${body}alignas(4) const ${type} ${var}[] = {\n${bytes}0};\nconst uint32_t ${var}_size = ${size};\n" PARENT_SCOPE)
endfunction()

set(body "// Generated from assets/ at build time.\n#include \"data/assets.h\"\n\nnamespace Assets {\n\n")
embed_one(scroller_font ${SRC}/scroller.font uint8_t)
embed_one(title_font ${SRC}/title.font uint8_t)
embed_one(logo_rle ${SRC}/logo.rle uint8_t)

# The slot: built by a constant expression, so that it is constant data of
# exactly the slot's layout, the marker spelled once (data/assets.h).
read_bytes(text size ${SRC}/scrolltext.txt)
string(APPEND body "namespace {\n\nconstexpr unsigned char kText[] = {\n${text}0};\n\n"
  "constexpr ScriptSlot make_slot() {\n"
  "    ScriptSlot slot{};\n"
  "    for (uint32_t i = 0; i < kScriptMarkerSize; ++i) slot.marker[i] = kScriptMarker[i];\n"
  "    slot.capacity = kScriptCapacity;\n"
  "    for (uint32_t i = 0; i < sizeof kText; ++i) slot.text[i] = static_cast<char>(kText[i]);\n"
  "    return slot;\n"
  "}\n\n} // namespace\n\n"
  "static_assert(sizeof kText <= kScriptCapacity, \"the scroll text does not fit the script slot\");\n"
  "alignas(4) constinit const ScriptSlot script_slot = make_slot();\n"
  "const uint32_t scroll_text_size = ${size};\n")
set(body "${body}\n} // namespace Assets\n")
file(WRITE ${OUT}.tmp "${body}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
