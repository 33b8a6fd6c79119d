# Wine, where Debian's packages put it: the 64-bit loader runs every build's
# 64-bit helpers, the 32-bit one the shipped build's programs. Read by the
# toolchain files, so every build and its sub-builds find the same Wine.
find_program(WINE64_LOADER wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(WINE32_LOADER wine PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(WINESERVER wineserver64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
# Quiet, and without the downloads Wine offers for .NET and HTML.
# wine_path(out path...): where Wine's programs see Linux paths, on drive Z:.
function(wine_path out)
  list(TRANSFORM ARGN PREPEND Z: OUTPUT_VARIABLE paths)
  set(${out} ${paths} PARENT_SCOPE)
endfunction()
# In the cache, for the scripts (tools/wine.sh).
set(SETUP_WINE_SETTINGS WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= CACHE INTERNAL "")
