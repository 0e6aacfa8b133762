#pragma once
// Loading shared modules at run time. A bare name is looked up in the program directory first
// (ProgramDirectory), then by the system.
#include <string>

namespace platform {

using ModuleHandle = void*;

ModuleHandle LoadModule(const std::wstring& nameOrPath);
void* FindModuleSymbol(ModuleHandle module, const char* name);
void FreeModule(ModuleHandle module);

} // namespace platform
