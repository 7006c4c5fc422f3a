// The console's actions for a printer on the network: the same bytes as on the serial line, sent
// over TCP (port 9100 unless told), each action connecting, writing and closing again.
#pragma once

#include "console/Socket.h"
#include "receipt/Receipt.h"

#include <exception>
#include <string>

namespace console {

// TimeoutMs bounds the connect and each write. Each gives back the error that stopped it, or
// null.
std::exception_ptr PrintTcp(const TEndpoint& Where, receipt::Language Lang,
                            const std::string& DateStamp, int TimeoutMs);
std::exception_ptr DrawerTcp(const TEndpoint& Where, receipt::Drawer Kind, int TimeoutMs);

} // namespace console
