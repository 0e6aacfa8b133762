#include "system/message_box.h"

#include <mutex>

namespace platform {

namespace {

std::mutex serverMutex;
MessageBoxServer& Server() {
    static MessageBoxServer server;
    return server;
}

} // namespace

void SetMessageBoxServer(MessageBoxServer server) {
    std::lock_guard lock(serverMutex);
    Server() = std::move(server);
}

int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style) {
    MessageBoxServer server;
    {
        std::lock_guard lock(serverMutex);
        server = Server();
    }
    // Outside the lock: a modal box may wait on the UI thread for a long time.
    return server ? server(text, caption, style) : kMessageBoxAnswerNone;
}

} // namespace platform
