# The serial component for Windows as another program gets it, sourced by scripts/windows-stage
# once its ports and helpers are up: the Windows build installed into a throwaway prefix, the
# examples built against it with the mingw-w64 toolchain and find_package, and send_line.exe run
# under Wine on COM4, a pty whose far side on Linux sends every byte back.

echo "== The serial component for Windows: installed, its examples built and run under Wine"
win_prefix="$work/install"
win_examples="$work/examples-windows"
run_logged "$work/install-windows.log" cmake --install build/windows --prefix "$win_prefix"
cp -r examples "$win_examples"
# The toolchain confines find_package to the cross compiler's root, so the package's folder is
# named rather than searched for.
check "the examples configure for Windows with find_package(Tillmark)" \
    run_logged "$work/examples-windows-configure.log" cmake -S "$win_examples" -B "$win_examples/build" \
        -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_TOOLCHAIN_FILE="$TILLMARK_ROOT/cmake/toolchains/mingw-w64-x86_64.cmake" \
        -DTillmark_DIR="$win_prefix/lib/cmake/Tillmark" \
        -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror"
check "the examples build for Windows against the installed component" \
    run_logged "$work/examples-windows-build.log" cmake --build "$win_examples/build"
check "the Windows headers declare the real API: no Linux declarations installed" \
    test ! -e "$win_prefix/include/tillmark/platform/linux"

send_line_exe="$win_examples/build/send_line.exe"
check "send_line.exe gets its line back from COM4 under Wine" \
    prints "hello tillmark" timeout 60 "$wine" "$send_line_exe" COM4 "hello tillmark" 19200
check "send_line.exe on a missing port: the component's message, status 1" \
    fails_saying 'COM77: Unable to open com port' timeout 60 "$wine" "$send_line_exe" COM77
