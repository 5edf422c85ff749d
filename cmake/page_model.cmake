# Turns the page guesser's committed model (src/input/page_model.bin, made by
# tools/page_model/make_model.py) into a header of constant bytes the program links:
#   cmake -DDATA=page_model.bin -DOUTPUT=page_model_data.inc -P page_model.cmake
file(READ "${DATA}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
  "// Made by cmake/page_model.cmake from src/input/page_model.bin.\n"
  "inline constexpr uint8_t kPageModel[${size}] = {\n${bytes}\n};\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
