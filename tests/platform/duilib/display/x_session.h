#pragma once
// A private X server for a test (Xvfb on a display number it picks itself), and the X tools a
// test drives it with, run while the UI thread keeps turning.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace display_test {

class XSession {
public:
    XSession() = default;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    ~XSession();

    // Xvfb and xdotool are on PATH.
    static bool Installed();
    // Starts Xvfb with a screen of the given size ("WIDTHxHEIGHTxDEPTH") and points DISPLAY at
    // it. False with *why set when it does not come up within 10 s.
    bool Start(std::string* why, const std::string& screen = "1024x768x24");

private:
    int pid_ = -1;
};

struct ToolResult {
    int exitCode = -1;
    std::string output;
};

// Runs a program found on PATH until it ends (at most 20 s, then it is killed); on the UI thread
// of a started backend the DuiLib loop and GTK keep running meanwhile.
ToolResult RunTool(const std::vector<std::string>& argv);

// Runs xdotool with the whitespace-separated arguments.
ToolResult Xdotool(const std::string& arguments);

// A window's place and size on the screen.
struct Rect {
    int x = -1, y = -1, width = -1, height = -1;
    bool operator==(const Rect&) const = default;
};
void PrintTo(const Rect& rect, std::ostream* os);

// The X window with this id as the X server has it mapped.
Rect WindowGeometry(const std::string& id);

// A left click at a screen point through the X server's pointer.
void ClickAt(int x, int y);

// Runs the UI thread's work and GTK events until done() holds or the timeout passes.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
void PumpFor(int milliseconds);

} // namespace display_test
