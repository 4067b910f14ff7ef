# Build helpers shared by every folder. A folder declares its units with kq_library / kq_program /
# kq_test; PORTABLE marks what also builds natively (sanitizers, fuzzing, benchmarks).

set(KQ_WINDOWS ${WIN32})
if(KQ_WINDOWS)
    enable_language(RC)
    # The same numbers on both targets: SSE2 arithmetic and no fused multiply-add.
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
        set(KQ_ARCH_FLAGS -msse2 -mfpmath=sse)
    endif()
    # Static runtime: the programs must start on a bare Windows with no compiler DLLs beside them.
    add_link_options(-static -static-libgcc -static-libstdc++)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine-run.sh)
    endif()
endif()

# Unity builds: a target's sources are compiled in units of KQ_UNITY_BATCH files each (in the order of its
# source list), so the headers they share are parsed once per unit instead of once per file. CI is bound by
# the amount of compiling. Files of one unit share one translation unit: two files of a target that define
# the same name in an anonymous namespace (or a file-level static) break the build there, and the fix is
# one property on the newcomer (kq_compile_alone below) or a clearer name. -DKQ_UNITY_BUILD=OFF compiles
# each file alone (a tree for an editor's compile database, or to find which file a message comes from).
option(KQ_UNITY_BUILD "Compile each target's sources in batches (unity build)" ON)
set(KQ_UNITY_BATCH 8 CACHE STRING "Sources per unity unit")

function(kq_unity target)
    get_target_property(type ${target} TYPE)
    if(NOT KQ_UNITY_BUILD OR type STREQUAL "INTERFACE_LIBRARY")
        return()
    endif()
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${KQ_UNITY_BATCH})
    # GCC warns when a class uses a type of an anonymous namespace from a file it sees as included, which
    # in a unity unit every source is (a test fixture, say). The warning guards against a type defined
    # differently in several translation units; a source is in one unit only.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-subobject-linkage>)
    endif()
endfunction()

# kq_compile_alone(target source...): compiles these sources of target each on its own, out of its unity
# units: for a file whose private names collide with another file's of the same target, or one that meets
# an earlier file's macros, or one that checks what its own includes bring.
function(kq_compile_alone target)
    if(NOT TARGET ${target})
        return()
    endif()
    set_source_files_properties(${ARGN} TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

# Flags of the project's own targets (third-party sources keep their own).
function(kq_project_flags target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Werror -ffp-contract=off ${KQ_ARCH_FLAGS})
    target_compile_options(${target} PUBLIC $<$<COMPILE_LANGUAGE:CXX>:-ffp-contract=off>)
    # GCC 12 at -O3 reports impossible overlaps inside std::basic_string for `literal + string&&`; the
    # warning is wrong there and fixed in GCC 13.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(KQ_WINDOWS)
        target_compile_definitions(${target} PUBLIC
            UNICODE _UNICODE NOMINMAX STRICT _WIN32_WINNT=0x0600 WINVER=0x0600)
    endif()
    if(KQ_SANITIZE)
        target_compile_options(${target} PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer
            -fno-sanitize-recover=undefined)
        target_link_options(${target} PUBLIC -fsanitize=address,undefined)
    endif()
    kq_unity(${target})
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt, in name order.
function(kq_add_subfolders)
    file(GLOB subdirs LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT subdirs)
    foreach(dir ${subdirs})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()

# kq_library(name [PORTABLE] SOURCES ... [DEPENDS ...])
function(kq_library name)
    cmake_parse_arguments(A "PORTABLE" "" "SOURCES;DEPENDS" ${ARGN})
    if(NOT KQ_WINDOWS AND NOT A_PORTABLE)
        return()
    endif()
    add_library(${name} STATIC ${A_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPENDS})
    kq_project_flags(${name})
endfunction()

# kq_program(name SOURCES ... [DEPENDS ...]): a Windows GUI program with a wWinMain entry.
function(kq_program name)
    cmake_parse_arguments(A "" "" "SOURCES;DEPENDS" ${ARGN})
    if(NOT KQ_WINDOWS)
        return()
    endif()
    add_executable(${name} WIN32 ${A_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${A_DEPENDS})
    target_link_options(${name} PRIVATE -municode)
    kq_project_flags(${name})
endfunction()

# Test and benchmark programs are built where they run: natively and in the x86_64 build. The i686 build
# holds what ships and what inspects it (tests/packaging, the stand-in engine's export checks).
if(KQ_FUZZ OR KQ_BENCH OR (KQ_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686"))
    set(KQ_BUILD_TESTS OFF)
else()
    set(KQ_BUILD_TESTS ON)
endif()

if(KQ_WINDOWS AND KQ_BUILD_TESTS)
    # Wine test programs run concurrently, each in a worker slot of its own (a Wine prefix and, from
    # tools/test-all.sh, an X server per slot): CTest hands out the slots listed in this file, which the
    # win64-test test preset names. One prefix shared by several starting programs has hung before.
    set(KQ_WINE_WORKERS 4 CACHE STRING "Wine worker slots (prefixes) for concurrent test programs")
    set(workers "")
    math(EXPR last "${KQ_WINE_WORKERS} - 1")
    foreach(i RANGE ${last})
        if(i GREATER 0)
            string(APPEND workers ",")
        endif()
        string(APPEND workers "{\"id\":\"w${i}\",\"slots\":1}")
    endforeach()
    file(WRITE ${PROJECT_BINARY_DIR}/wine-workers.json
        "{\"version\":{\"major\":1,\"minor\":0},\"local\":[{\"wine\":[${workers}]}]}\n")
endif()

# kq_test(name [PORTABLE] [SHARDS n] [PROCESSORS n] SOURCES ... [DEPENDS ...]): one GoogleTest executable,
# one CTest test. Under Wine every test runs inside an X server (the launcher provides one when DISPLAY is
# unset) and takes a worker slot. SHARDS splits a long Wine program into n CTest tests (name.1ofn ...),
# each running every n-th test case (GoogleTest's sharding), so no one program holds up a concurrent run.
# PROCESSORS n counts each such test as n of CTest's -j jobs: for programs that start programs of their own
# and wait for them with time limits, so fewer of them share the cores. COST n starts a long program that
# cannot be split (its tests share files beside it) before the sharded ones of lower cost.
function(kq_test name)
    cmake_parse_arguments(A "PORTABLE" "SHARDS;PROCESSORS;COST" "SOURCES;DEPENDS" ${ARGN})
    if(NOT KQ_BUILD_TESTS OR (NOT KQ_WINDOWS AND NOT A_PORTABLE))
        return()
    endif()
    add_executable(${name} ${A_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${A_DEPENDS} GTest::gmock GTest::gtest_main)
    kq_project_flags(${name})
    if(NOT KQ_WINDOWS OR NOT A_SHARDS)
        set(A_SHARDS 1)
    endif()
    if(NOT A_PROCESSORS)
        set(A_PROCESSORS 1)
    endif()
    math(EXPR cost "${A_SHARDS} * ${A_PROCESSORS}")
    if(A_COST)
        set(cost ${A_COST})
    endif()
    math(EXPR last "${A_SHARDS} - 1")
    foreach(i RANGE ${last})
        if(A_SHARDS EQUAL 1)
            set(test ${name})
        else()
            math(EXPR n "${i} + 1")
            set(test ${name}.${n}of${A_SHARDS})
        endif()
        add_test(NAME ${test} COMMAND ${name} --gtest_color=no)
        set_tests_properties(${test} PROPERTIES TIMEOUT 600)
        if(KQ_WINDOWS)
            # Sharded programs are the long ones: started first, the heaviest before the others.
            set_tests_properties(${test} PROPERTIES RESOURCE_GROUPS wine:1 COST ${cost} PROCESSORS ${A_PROCESSORS})
        endif()
        if(A_SHARDS GREATER 1)
            set_tests_properties(${test} PROPERTIES
                ENVIRONMENT "GTEST_TOTAL_SHARDS=${A_SHARDS};GTEST_SHARD_INDEX=${i}")
        endif()
    endforeach()
endfunction()

# GoogleTest from the sources Debian's googletest package installs, built with this project's compilers.
macro(kq_add_googletest)
    set(KQ_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    if(NOT EXISTS ${KQ_GTEST_SOURCE}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest sources not found in ${KQ_GTEST_SOURCE}; run tools/setup.sh")
    endif()
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(${KQ_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    if(KQ_SANITIZE)
        foreach(t gtest gtest_main gmock gmock_main)
            target_compile_options(${t} PRIVATE -fsanitize=address,undefined)
        endforeach()
    endif()
    if(NOT TARGET GTest::gtest_main)
        add_library(GTest::gtest ALIAS gtest)
        add_library(GTest::gtest_main ALIAS gtest_main)
        add_library(GTest::gmock ALIAS gmock)
    endif()
endmacro()

# Libraries built by tools/setup.sh for the mingw targets.
# Natively the system's own libraries stand in for them (the picture decoders build natively too).
function(kq_import_deps)
    if(NOT KQ_WINDOWS)
        find_package(JPEG REQUIRED)
        find_package(ZLIB REQUIRED)
        add_library(kq::jpeg INTERFACE IMPORTED GLOBAL)
        set_target_properties(kq::jpeg PROPERTIES INTERFACE_LINK_LIBRARIES JPEG::JPEG)
        add_library(kq::zlib INTERFACE IMPORTED GLOBAL)
        set_target_properties(kq::zlib PROPERTIES INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
        return()
    endif()
    set(root ${KQ_DEPS_DIR}/${KQ_TRIPLET})
    if(NOT EXISTS ${root}/lib/libjpeg.a)
        message(FATAL_ERROR "libjpeg for ${KQ_TRIPLET} not found in ${root}; run tools/setup.sh")
    endif()
    add_library(kq::jpeg STATIC IMPORTED GLOBAL)
    set_target_properties(kq::jpeg PROPERTIES IMPORTED_LOCATION ${root}/lib/libjpeg.a
        INTERFACE_INCLUDE_DIRECTORIES ${root}/include)
    add_library(kq::zlib STATIC IMPORTED GLOBAL)
    set_target_properties(kq::zlib PROPERTIES IMPORTED_LOCATION /usr/${KQ_TRIPLET}/lib/libz.a)
endfunction()
kq_import_deps()

option(KQ_FUZZ "Build the libFuzzer targets (clang)" OFF)
option(KQ_BENCH "Build the benchmarks (Google Benchmark)" OFF)
if(KQ_FUZZ)
    # Libraries carry coverage instrumentation; only the fuzz targets link the fuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# kq_fuzz_target(name SOURCES ... DEPENDS ...): a libFuzzer executable (fuzz preset only). CI runs each
# briefly, with fuzz/corpus/<name>/ as its seed corpus when that folder exists.
function(kq_fuzz_target name)
    cmake_parse_arguments(A "" "" "SOURCES;DEPENDS" ${ARGN})
    if(NOT KQ_FUZZ)
        return()
    endif()
    add_executable(${name} ${A_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${A_DEPENDS})
    kq_project_flags(${name})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY KQ_FUZZ_TARGETS ${name})
endfunction()

# kq_benchmark(name [WINDOWS] SOURCES ... DEPENDS ...): a Google Benchmark executable (bench preset only).
# WINDOWS: a Windows program that times itself, built by name with the x86_64 preset and run by hand
# under Wine (there is no Google Benchmark for those targets); never registered as a test.
function(kq_benchmark name)
    cmake_parse_arguments(A "WINDOWS" "" "SOURCES;DEPENDS" ${ARGN})
    if(A_WINDOWS)
        if(NOT KQ_WINDOWS OR NOT KQ_BUILD_TESTS)
            return()
        endif()
        # Built by name when wanted (bench/README.md), not with the tests.
        add_executable(${name} EXCLUDE_FROM_ALL ${A_SOURCES})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PRIVATE ${A_DEPENDS})
        kq_project_flags(${name})
        return()
    endif()
    if(NOT KQ_BENCH)
        return()
    endif()
    find_package(benchmark REQUIRED)
    add_executable(${name} ${A_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${A_DEPENDS} benchmark::benchmark)
    kq_project_flags(${name})
endfunction()
