# Wine, where Debian's packages put it: the 64-bit loader runs every build's
# 64-bit helpers, the 32-bit one the shipped build's programs. Read by the
# toolchain files, so every build and its sub-builds find the same Wine.
find_program(WINE64_LOADER wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
# The 32-bit loader lives in the project's Debian root (tools/root), where the
# shipped build's tests run: the host needs none to build.
set(WINE32_LOADER /usr/lib/wine/wine CACHE FILEPATH "32-bit Wine loader, in the test root")
find_program(WINESERVER wineserver64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
# Quiet, and without the downloads Wine offers for .NET and HTML.
# wine_path(out path...): where Wine's programs see Linux paths, on drive Z:.
function(wine_path out)
  list(TRANSFORM ARGN PREPEND Z: OUTPUT_VARIABLE paths)
  set(${out} ${paths} PARENT_SCOPE)
endfunction()
# In the cache, for the scripts (tools/wine.sh).
set(SETUP_WINE_SETTINGS WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= CACHE INTERNAL "")
