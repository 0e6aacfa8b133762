# Every outside library the tree uses, as imported or interface targets.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(ZLIB REQUIRED)
find_package(CURL REQUIRED)
find_package(pugixml REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
add_library(minizip::minizip ALIAS PkgConfig::MINIZIP)

# wxWidgets base and net: the launcher's core links nothing of the GUI toolkit.
find_package(wxWidgets REQUIRED COMPONENTS net base)
add_library(wx_base INTERFACE)
target_include_directories(wx_base SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(wx_base INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(wx_base INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(wx_base INTERFACE ${wxWidgets_LIBRARIES})

# cpp-httplib: the test and demo HTTP servers only.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(httplib::httplib ALIAS PkgConfig::HTTPLIB)
# wxWidgets core and webview: only the display backend (duilib_display) links them.
find_package(wxWidgets REQUIRED COMPONENTS webview core base)
add_library(wx_gui INTERFACE)
target_include_directories(wx_gui SYSTEM INTERFACE ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(wx_gui INTERFACE ${wxWidgets_DEFINITIONS})
target_compile_options(wx_gui INTERFACE ${wxWidgets_CXX_FLAGS})
target_link_libraries(wx_gui INTERFACE ${wxWidgets_LIBRARIES})
pkg_check_modules(GTK REQUIRED IMPORTED_TARGET gtk+-3.0 x11 xext)
