// The chosen server's four values, taken and set together under their mutex.
#include "launcher/globals.h"
#include "launcher/ui/server_model.h"

ServerChoice SelectedServer() {
    std::lock_guard lock(SelectedServerMutex);
    return {SelectedServerAddr, SelectedServerPort, SelectedServerChargeIp, SelectedServerSid};
}

void SetSelectedServer(const ServerChoice& choice) {
    std::lock_guard lock(SelectedServerMutex);
    SelectedServerAddr = choice.address;
    SelectedServerPort = choice.port;
    SelectedServerChargeIp = choice.chargeIp;
    SelectedServerSid = choice.sid;
}
