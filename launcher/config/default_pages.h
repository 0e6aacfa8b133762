#pragma once
// Built-in page addresses, used until "web.ini" names others. The hosts are deployment values:
// an installation sets its own here (or ships a "web.ini"); the paths and queries are what
// the game's sites serve.

namespace default_pages {

inline constexpr const wchar_t* kWebsite = L"http://www.example.com";
inline constexpr const wchar_t* kRecharge = L"http://pay.example.com/index.php?game_id=7";
inline constexpr const wchar_t* kRegister = L"http://passport.example.com/reg.php";
inline constexpr const wchar_t* kForum = L"http://bbs.example.com/";
inline constexpr const wchar_t* kWeb404 = L"http://www.example.com/down/?sp=404";

// The news panels come from the news server, addressed by its IPv4 address.
inline constexpr const wchar_t* kTop = L"http://192.0.2.10/get_web/new_top.html";
inline constexpr const wchar_t* kLeft = L"http://192.0.2.10/get_web/new_left.html";
inline constexpr const wchar_t* kRight = L"http://192.0.2.10/get_web/new_right.html";
// The same panels for the smallest screen-size mode.
inline constexpr const wchar_t* kTop600 = L"http://192.0.2.10/get_web/new_top_s.html";
inline constexpr const wchar_t* kLeft600 = L"http://192.0.2.10/get_web/new_left_s.html";
inline constexpr const wchar_t* kRight600 = L"http://192.0.2.10/get_web/new_right_s.html";

// The customer-service page behind "CustServiceBtn" (not configurable in "web.ini").
inline constexpr const wchar_t* kCustomerService = L"http://www.example.com/kefu.php";

} // namespace default_pages
