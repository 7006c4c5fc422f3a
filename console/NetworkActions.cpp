#include "console/NetworkActions.h"

namespace console {

namespace {

std::exception_ptr SendAll(const TEndpoint& Where, const std::vector<std::string>& Writes,
                           int TimeoutMs) {
    try {
        TSocket socket = TSocket::Connect(Where, TimeoutMs);
        for (const std::string& write : Writes)
            socket.Send(write, TimeoutMs);
        socket.Finish();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

} // namespace

std::exception_ptr PrintTcp(const TEndpoint& Where, receipt::Language Lang,
                            const std::string& DateStamp, int TimeoutMs) {
    return SendAll(Where, receipt::PrintWrites(Lang, receipt::Path::Serial, DateStamp), TimeoutMs);
}

std::exception_ptr DrawerTcp(const TEndpoint& Where, receipt::Drawer Kind, int TimeoutMs) {
    return SendAll(Where, {receipt::DrawerWrite(Kind, receipt::Path::Serial)}, TimeoutMs);
}

} // namespace console
