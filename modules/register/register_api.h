#pragma once
// The interface of Register.dll, the account-registration window, shared by the module and the
// launcher. The launcher finds the function by name and unloads the module as soon as the call
// returns, so the window never outlives the call.
#include <cstdint>

extern "C" {

// Shows the registration window and returns when the player has closed it (or the launcher's
// message loop has ended). `reserved` is passed as 0. Returns 1 when the window was shown, 0
// when it could not be created (no skin). UI thread only: the window lives in the caller's UI
// library and its message loop.
typedef int32_t (*CreateRegisterWindowFunction)(int32_t reserved);

int32_t CreateRegisterWindow(int32_t reserved);

} // extern "C"
