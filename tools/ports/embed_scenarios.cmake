# SPDX-License-Identifier: MIT
# Writes the built-in scenarios into a C++ source, each file's bytes as an array, in the order
# given: cmake -DOUT=file.cpp -DFILES="a.txt;b.txt" -P embed_scenarios.cmake
set(arrays "")
set(rows "")
set(index 0)
foreach(file IN LISTS FILES)
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" length)
    math(EXPR size "${length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    get_filename_component(name ${file} NAME)
    string(APPEND arrays "constexpr char kFile${index}[] = {${bytes}0};\n")
    string(APPEND rows "    {\"${name}\", {kFile${index}, ${size}}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUT}.tmp "// Made by embed_scenarios.cmake from tools/ports/scenarios/.\n"
    "#include \"model/builtin_scenarios.h\"\n\nnamespace bexen::ports {\n\nnamespace {\n${arrays}"
    "constexpr BuiltinScenario kScenarios[] = {\n${rows}};\n} // namespace\n\n"
    "std::span<const BuiltinScenario> builtinScenarios()\n{\n    return kScenarios;\n}\n\n"
    "} // namespace bexen::ports\n")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
