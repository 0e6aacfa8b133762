#pragma once
// Loading shared modules at run time. A bare name is looked up in the program directory first
// (as given to SetModuleDirectory, else the executable's directory), then by the system.
#include <string>

namespace platform {

using ModuleHandle = void*;

void SetModuleDirectory(const std::wstring& directory);
ModuleHandle LoadModule(const std::wstring& nameOrPath);
void* FindModuleSymbol(ModuleHandle module, const char* name);
void FreeModule(ModuleHandle module);

} // namespace platform
