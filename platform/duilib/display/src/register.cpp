#include "display_backend.h"
#include "duilib/display.h"

namespace DuiLib {

void RegisterWxDisplayBackend() {
    RegisterDisplayBackend([]() -> std::unique_ptr<WindowBackend> {
        auto backend = std::make_unique<display::DisplayBackend>();
        if (!backend->Open())
            return nullptr;
        return backend;
    });
}

} // namespace DuiLib
