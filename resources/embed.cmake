# Writes a C++ source that holds a file's bytes as a const array; run as cmake -P on the build host.
#
# Variables: INPUT (file to embed), OUTPUT (source to write), SYMBOL (array name; SYMBOL##Size
# holds its length), OFFSET (bytes to skip at the start, default 0), SIZE (the length the rest
# must have; the build fails otherwise, so a wrong file never gets in).
foreach(var INPUT OUTPUT SYMBOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "embed.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT DEFINED OFFSET)
  set(OFFSET 0)
endif()

file(READ "${INPUT}" hex OFFSET ${OFFSET} HEX)
string(LENGTH "${hex}" digits)
math(EXPR length "${digits} / 2")
if(length EQUAL 0)
  message(FATAL_ERROR "embed.cmake: ${INPUT} has no bytes after offset ${OFFSET}")
endif()
if(DEFINED SIZE AND NOT length EQUAL SIZE)
  message(FATAL_ERROR "embed.cmake: ${INPUT} gives ${length} bytes after offset ${OFFSET}, expected ${SIZE}")
endif()

# 16 bytes a line, then each pair of hex digits as one initialiser.
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
       "\\1\n    " hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
string(REGEX REPLACE "[ \n]+$" "" hex "${hex}")

get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
     "// ${name} from byte ${OFFSET} on, generated at build time by resources/embed.cmake.\n"
     "#include \"resources/resources.h\"\n\n"
     "// Aligned so that the 32-bit header fields can be read in place.\n"
     "alignas(4) extern const unsigned char ${SYMBOL}[] = {\n    ${hex}\n};\n"
     "extern const unsigned int ${SYMBOL}Size = ${length};\n")
