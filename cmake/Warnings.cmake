# One interface target carries the language level, warnings and sanitizer flags; every
# Vellinor target links it.
add_library(vellinor_common INTERFACE)
add_library(vellinor::common ALIAS vellinor_common)
target_compile_features(vellinor_common INTERFACE cxx_std_20)
target_compile_options(vellinor_common INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wconversion -Wsign-conversion -Wnull-dereference -Wformat=2
    -Wimplicit-fallthrough)
if(VELLINOR_WERROR)
    target_compile_options(vellinor_common INTERFACE -Werror)
endif()
target_compile_definitions(vellinor_common INTERFACE
    $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>
    VELLINOR_VERSION="${PROJECT_VERSION}")

if(VELLINOR_SANITIZE)
    set(vellinor_sanitize_flags
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(vellinor_common INTERFACE ${vellinor_sanitize_flags})
    target_link_options(vellinor_common INTERFACE ${vellinor_sanitize_flags})
endif()
