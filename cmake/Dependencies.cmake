# Every dependency comes from Debian 12 packages (scripts/setup-deps installs them).
find_package(PkgConfig REQUIRED)
find_package(simdjson REQUIRED)
find_package(fmt REQUIRED)
find_package(SQLite3 REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil)
# The sniffer's sandbox (src/sniffer/sandbox.h).
pkg_check_modules(SECCOMP REQUIRED IMPORTED_TARGET libseccomp)
# The deep scan's analyses (sniffer --scan).
pkg_check_modules(LIBAVFILTER REQUIRED IMPORTED_TARGET libavfilter)

# Policy checks: jq for the rules (Debian ships libjq without a pkg-config file) and toml++
# (header-only) for the policy file.
find_path(VELLINOR_JQ_INCLUDE jq.h REQUIRED)
find_library(VELLINOR_LIBJQ jq REQUIRED)
find_path(VELLINOR_TOMLPP_INCLUDE toml++/toml.h REQUIRED)

find_program(VELLINOR_FFPROBE ffprobe REQUIRED)
find_program(VELLINOR_FFMPEG ffmpeg)
find_program(VELLINOR_MKVMERGE mkvmerge)

if(VELLINOR_CLI)
    find_package(CLI11 REQUIRED)
endif()
if(VELLINOR_GUI)
    find_package(Qt6 REQUIRED COMPONENTS Widgets DBus Network Test Concurrent)
endif()
if(VELLINOR_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
if(VELLINOR_BENCH)
    find_package(benchmark REQUIRED)
endif()
