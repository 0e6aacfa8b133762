#pragma once
// A server list as the flows serve and cache it and the window tests load it: area "A" with
// "East", area "B" with "North" and "South".
#include <string>

namespace testing_support {

inline const std::string kTwoAreaList =
    "<tavi><area pid=\"1\" name=\"A\">"
    "<server sid=\"11\" name=\"East\" address=\"10.0.0.1\" port=\"7001\" chargeIp=\"c1\"/>"
    "</area><area pid=\"2\" name=\"B\">"
    "<server sid=\"22\" name=\"North\" address=\"10.0.0.2\" port=\"7002\" chargeIp=\"c2\"/>"
    "<server sid=\"23\" name=\"South\" address=\"10.0.0.4\" port=\"7004\" chargeIp=\"c4\"/>"
    "</area></tavi>";

} // namespace testing_support
