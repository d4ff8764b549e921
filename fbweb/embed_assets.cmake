# SPDX-License-Identifier: MIT
# Writes OUTPUT, a C++ source holding the page's files of directory DIR as
# byte arrays, with find_asset() over them (see assets.hpp). Run as
# cmake -DDIR=... -DOUTPUT=... -P embed_assets.cmake.
set(files index.html app.js app.css)
set(types text/html text/javascript text/css)  # all UTF-8
set(paths "/" "/app.js" "/app.css")
set(arrays "")
set(table "")
foreach(i RANGE 2)
  list(GET files ${i} file)
  list(GET types ${i} type)
  list(GET paths ${i} path)
  if(NOT EXISTS ${DIR}/${file})
    message(FATAL_ERROR "page file ${DIR}/${file} missing: build the page first (web/build)")
  endif()
  file(READ ${DIR}/${file} hex HEX)
  file(SIZE ${DIR}/${file} size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char file${i}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${path}\", \"${type}; charset=utf-8\", file${i}, ${size}},\n")
endforeach()
file(WRITE ${OUTPUT}.new "// The page's files, generated from ${DIR} by embed_assets.cmake.
#include \"assets.hpp\"

namespace fbweb {
namespace {
${arrays}
const asset assets[] = {
${table}};
}  // namespace

const asset* find_asset(const std::string& path) {
    for (const asset& a : assets)
        if (path == a.path) return &a;
    return nullptr;
}

}  // namespace fbweb
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
