# Game assets built by tarquil-cli inside a CMake project.
#
#   include(TarquilAssets)          # with this folder on CMAKE_MODULE_PATH
#   tarquil_convert(INPUT sprites/walk_000.png OUTPUT walk.png OPTIONS --frames all --strip)
#   tarquil_pack(INPUTS sprites OUTPUT atlas.png DATA atlas.atlas TEMPLATE libgdx)
#   tarquil_export(INPUT sprites/hero.png OUTPUT hero.3df OPTIONS --format argb4444)
#   tarquil_font(OUTPUT font.png FACE "DejaVu Sans" SIZE 12 FNT)
#   tarquil_codegen(INPUT font.png OUTPUT font.xml TEMPLATE bmfont-xml)
#   tarquil_add_assets(assets)      # one target that builds all of the above
#
# Each function adds one custom command that runs tarquil-cli with --no-settings (the result
# depends on the arguments only, never on the editor's settings in the home folder) and
# --depfile, so that Make and Ninja rebuild an output exactly when a file it read changed: the
# input named, the members of a numbered series (and its folder, so that an added member counts),
# position files, font files. Relative INPUT paths are taken from the current source folder,
# relative OUTPUT paths from the current binary folder. OPTIONS are passed on as they are;
# BYPRODUCTS names further files the command writes.
#
# TARQUIL_CLI is the program: the tarquil-cli target when this project builds it, else the
# tarquil-cli found on the PATH.

include_guard(GLOBAL)

if(NOT TARQUIL_CLI)
  if(TARGET tarquil-cli)
    set(TARQUIL_CLI $<TARGET_FILE:tarquil-cli>)
    set(_tarquil_cli_depends tarquil-cli)
  else()
    find_program(TARQUIL_CLI tarquil-cli REQUIRED)
  endif()
endif()

function(_tarquil_paths)
  cmake_parse_arguments(P "" "INPUT;OUTPUT;IN_VAR;OUT_VAR" "" ${ARGN})
  if(P_INPUT)
    cmake_path(ABSOLUTE_PATH P_INPUT BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
               OUTPUT_VARIABLE in)
    set(${P_IN_VAR} ${in} PARENT_SCOPE)
  endif()
  cmake_path(ABSOLUTE_PATH P_OUTPUT BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} NORMALIZE
             OUTPUT_VARIABLE out)
  set(${P_OUT_VAR} ${out} PARENT_SCOPE)
endfunction()

# The command itself: every file the depfile names as a target must be among OUTPUT (Ninja
# checks it), so the position files and other by-products are listed with the main output.
function(_tarquil_command out)
  cmake_parse_arguments(C "" "COMMENT" "ARGS;DEPENDS;BYPRODUCTS" ${ARGN})
  cmake_path(GET out PARENT_PATH dir)
  set(depfile ${out}.d)
  add_custom_command(
    OUTPUT ${out} ${C_BYPRODUCTS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${TARQUIL_CLI} ${C_ARGS} --no-settings --depfile ${depfile}
    DEPENDS ${C_DEPENDS} ${_tarquil_cli_depends}
    DEPFILE ${depfile}
    COMMENT "${C_COMMENT}"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY TARQUIL_ASSET_OUTPUTS ${out} ${C_BYPRODUCTS})
endfunction()

# tarquil_convert(INPUT in OUTPUT out [OPTIONS ...] [BYPRODUCTS ...])
# With --strip among the options the strip's position files are outputs too.
function(tarquil_convert)
  cmake_parse_arguments(T "" "INPUT;OUTPUT" "OPTIONS;BYPRODUCTS" ${ARGN})
  _tarquil_paths(INPUT ${T_INPUT} OUTPUT ${T_OUTPUT} IN_VAR in OUT_VAR out)
  set(extra ${T_BYPRODUCTS})
  if("--strip" IN_LIST T_OPTIONS)
    list(APPEND extra ${out}_pos.txt ${out}.map)
  endif()
  _tarquil_command(${out} ARGS convert ${in} ${out} ${T_OPTIONS} DEPENDS ${in}
                   BYPRODUCTS ${extra} COMMENT "tarquil-cli convert ${T_OUTPUT}")
endfunction()

# tarquil_pack(INPUTS in... OUTPUT sheet.png [DATA file [TEMPLATE name|file]] [OPTIONS ...])
# One atlas page with its position files and, with DATA, the engine's data file. INPUTS may be
# files, folders or the first file of a numbered series.
function(tarquil_pack)
  cmake_parse_arguments(T "" "OUTPUT;DATA;TEMPLATE" "INPUTS;OPTIONS;BYPRODUCTS" ${ARGN})
  _tarquil_paths(OUTPUT ${T_OUTPUT} OUT_VAR out)
  set(ins)
  set(files)
  foreach(i IN LISTS T_INPUTS)
    cmake_path(ABSOLUTE_PATH i BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
               OUTPUT_VARIABLE a)
    list(APPEND ins ${a})
    # Files in folders come from the depfile; the files named are known now.
    if(NOT IS_DIRECTORY ${a})
      list(APPEND files ${a})
    endif()
  endforeach()
  set(extra ${T_BYPRODUCTS} ${out}_pos.txt ${out}.map)
  set(args pack ${ins} -o ${out} ${T_OPTIONS})
  if(T_DATA)
    _tarquil_paths(OUTPUT ${T_DATA} OUT_VAR data)
    list(APPEND extra ${data})
    list(APPEND args --data ${data})
    if(T_TEMPLATE)
      list(APPEND args --template ${T_TEMPLATE})
    endif()
  endif()
  _tarquil_command(${out} ARGS ${args} DEPENDS ${files} BYPRODUCTS ${extra}
                   COMMENT "tarquil-cli pack ${T_OUTPUT}")
endfunction()

# tarquil_export(INPUT in OUTPUT out.3df|out.tex [OPTIONS ...])
function(tarquil_export)
  cmake_parse_arguments(T "" "INPUT;OUTPUT" "OPTIONS;BYPRODUCTS" ${ARGN})
  _tarquil_paths(INPUT ${T_INPUT} OUTPUT ${T_OUTPUT} IN_VAR in OUT_VAR out)
  _tarquil_command(${out} ARGS export ${in} ${out} ${T_OPTIONS} DEPENDS ${in}
                   BYPRODUCTS ${T_BYPRODUCTS} COMMENT "tarquil-cli export ${T_OUTPUT}")
endfunction()

# tarquil_font(OUTPUT out.png|out.tga FACE name SIZE points [FNT] [OPTIONS ...])
# Writes the texture with its position files (and OUT.fnt with FNT); the font file the face
# resolves to is read from the depfile.
function(tarquil_font)
  cmake_parse_arguments(T "FNT" "OUTPUT;FACE;SIZE" "OPTIONS;BYPRODUCTS" ${ARGN})
  _tarquil_paths(OUTPUT ${T_OUTPUT} OUT_VAR out)
  set(extra ${T_BYPRODUCTS} ${out}_pos.txt ${out}.map)
  set(args font --face ${T_FACE} --size ${T_SIZE} -o ${out} ${T_OPTIONS})
  if(T_FNT)
    cmake_path(REPLACE_EXTENSION out LAST_ONLY .fnt OUTPUT_VARIABLE fnt)
    list(APPEND extra ${fnt})
    list(APPEND args --fnt)
  endif()
  _tarquil_command(${out} ARGS ${args} BYPRODUCTS ${extra} COMMENT "tarquil-cli font ${T_OUTPUT}")
endfunction()

# tarquil_codegen(INPUT image OUTPUT file (TEMPLATE name|file | FORMAT text) [OPTIONS ...])
# INPUT may be another function's OUTPUT (a strip, a font texture): its position file is read.
function(tarquil_codegen)
  cmake_parse_arguments(T "" "INPUT;OUTPUT;TEMPLATE;FORMAT" "OPTIONS;BYPRODUCTS" ${ARGN})
  _tarquil_paths(OUTPUT ${T_OUTPUT} OUT_VAR out)
  get_property(made GLOBAL PROPERTY TARQUIL_ASSET_OUTPUTS)
  cmake_path(ABSOLUTE_PATH T_INPUT BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} NORMALIZE
             OUTPUT_VARIABLE in)
  if(NOT in IN_LIST made)
    cmake_path(ABSOLUTE_PATH T_INPUT BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE
               OUTPUT_VARIABLE in)
  endif()
  set(args codegen ${in} -o ${out} ${T_OPTIONS})
  if(T_TEMPLATE)
    list(APPEND args --template ${T_TEMPLATE})
  elseif(T_FORMAT)
    list(APPEND args --format ${T_FORMAT})
  endif()
  _tarquil_command(${out} ARGS ${args} DEPENDS ${in} BYPRODUCTS ${T_BYPRODUCTS}
                   COMMENT "tarquil-cli codegen ${T_OUTPUT}")
endfunction()

# tarquil_add_assets(target): a target, built by default, that depends on every output above.
function(tarquil_add_assets target)
  get_property(outputs GLOBAL PROPERTY TARQUIL_ASSET_OUTPUTS)
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
