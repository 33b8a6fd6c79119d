# Sourced by the scripts that run Windows programs. Wine is what the build
# found (cmake/Wine.cmake), read from its cache, so that a script and the
# tests run the same loaders with the same settings.

# wine_setting BUILD NAME: a value of the build's cache (WINE64_LOADER,
# WINE32_LOADER, WINESERVER, SETUP_WINE_SETTINGS).
wine_setting() {
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

# wine_environment BUILD PREFIX: exports the prefix and the settings.
wine_environment() {
  local settings
  settings=$(wine_setting "$1" SETUP_WINE_SETTINGS)
  export WINEPREFIX=$2 ${settings//;/ }
}

# windows_path PATH: where Wine's programs see a Linux path (drive Z:).
windows_path() {
  local p="Z:$1"
  printf '%s' "${p//\//\\}"
}
