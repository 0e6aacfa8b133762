#pragma once
// The message-box front door: code below the window library asks for a message box here, and
// the window library serves the requests once it is initialised. Styles and answers keep the
// window library's values, so a request passes through unchanged.
#include <functional>
#include <string>

namespace platform {

constexpr unsigned kMessageBoxOk = 0x0000;
constexpr unsigned kMessageBoxIconError = 0x0010;
constexpr int kMessageBoxAnswerNone = 0;

using MessageBoxServer =
    std::function<int(const std::wstring& text, const std::wstring& caption, unsigned style)>;

// Installs the server (an empty function removes it). Any thread.
void SetMessageBoxServer(MessageBoxServer server);

// Shows an ownerless modal message box through the server and returns its answer;
// kMessageBoxAnswerNone, showing nothing, when no server is installed. Any thread.
int ShowMessageBox(const std::wstring& text, const std::wstring& caption, unsigned style);

} // namespace platform
