# Writes OUTPUT: the files of web/ as the table that web_files.h declares.
# Run by the build whenever one of them changes.
set(types_html "text/html; charset=utf-8")
set(types_js "text/javascript; charset=utf-8")
set(types_css "text/css; charset=utf-8")

set(arrays "")
set(rows "")
set(n 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  get_filename_component(extension "${file}" LAST_EXT)
  string(SUBSTRING "${extension}" 1 -1 extension)
  if(NOT DEFINED types_${extension})
    message(FATAL_ERROR "no Content-Type for ${name}")
  endif()
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(path "/${name}")
  if(name STREQUAL "index.html")
    set(path "/")
  endif()
  string(APPEND arrays "constexpr unsigned char kFile${n}[] = {${bytes}};\n")
  string(APPEND rows "    {\"${path}\", \"${types_${extension}}\", {reinterpret_cast<const char*>(kFile${n}), ${size}}},\n")
  math(EXPR n "${n} + 1")
endforeach()

file(WRITE "${OUTPUT}.new" "// Made by embed_web.cmake from the files of web/.\n#include \"web_files.h\"\n\n"
     "namespace sterownik::panel {\nnamespace {\n\n${arrays}\nconst WebFile kFiles[] = {\n${rows}};\n\n}  // namespace\n\n"
     "std::span<const WebFile> WebFiles() { return kFiles; }\n\n}  // namespace sterownik::panel\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
