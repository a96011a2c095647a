# The render path: input buffering, event splitting and the render block body. The helper and the body are
# templates on the kernel type, so tests drive them with a recording kernel.
add_library(tessaray_renderpath STATIC ${CMAKE_CURRENT_LIST_DIR}/BufferedInputBus.cpp)
target_include_directories(tessaray_renderpath PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_compile_features(tessaray_renderpath PUBLIC cxx_std_20)
target_link_libraries(tessaray_renderpath PUBLIC platform_audiounit)
if(TARGET tessaray_dsp)
  target_link_libraries(tessaray_renderpath PUBLIC tessaray_dsp)
endif()
tessaray_target(tessaray_renderpath)

tessaray_test(renderpath_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/renderpath_tests.cpp
  LIBS tessaray_renderpath)
# Its own binary: it replaces the global allocation functions to prove the render path never allocates.
tessaray_test(renderpath_alloc_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/renderpath_alloc_tests.cpp
  LIBS tessaray_renderpath)

if(TARGET tessaray_dsp)
  tessaray_test(renderpath_kernel_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/renderpath_kernel_tests.cpp
    LIBS tessaray_renderpath)
endif()
