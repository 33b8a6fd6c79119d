# The reader of PE headers and the payload check: one library for the
# configure step's payload check, SetupPack and the structure checker.
include_guard(GLOBAL)
add_library(peimage STATIC ${CMAKE_CURRENT_LIST_DIR}/CPeImage.cpp ${CMAKE_CURRENT_LIST_DIR}/CPayloadCheck.cpp)
get_filename_component(peimage_root ${CMAKE_CURRENT_LIST_DIR}/../.. ABSOLUTE)
target_include_directories(peimage PUBLIC ${peimage_root})
