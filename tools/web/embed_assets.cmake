# Writes a C++ source holding the files of the web editor as byte arrays, with the lookup of
# assets.h. Run at build time: cmake -DOUTPUT=... -DFILES="a;b" -P embed_assets.cmake
set(entries "")
set(arrays "")
set(index 0)
foreach(file ${FILES})
  get_filename_component(name ${file} NAME)
  get_filename_component(ext ${file} EXT)
  if(ext STREQUAL ".html")
    set(type "text/html; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(type "text/javascript; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(type "text/css; charset=utf-8")
  elseif(ext STREQUAL ".svg")
    set(type "image/svg+xml")
  else()
    set(type "application/octet-stream")
  endif()
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kAsset${index}[] = {${bytes}0};\n")
  string(APPEND entries "    {\"/${name}\", \"${type}\", kAsset${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Made by embed_assets.cmake from tools/web/assets/; not to be edited.
#include <cstring>

#include \"tools/web/assets.h\"

namespace telbook {
namespace web {
namespace {

${arrays}
const Asset kAssets[] = {
${entries}};

}  // namespace

const Asset* FindAsset(const char* path) {
  for (const Asset& asset : kAssets) {
    if (std::strcmp(asset.path, path) == 0) return &asset;
  }
  return nullptr;
}

}  // namespace web
}  // namespace telbook
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
