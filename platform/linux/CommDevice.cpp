// Placeholder until the comm device engine lands: no comm device opens yet.
#include "platform/linux/CommDevice.h"

namespace platform {

std::shared_ptr<KernelObject> OpenSimulatedComm(const std::string&) {
    return nullptr;
}

std::shared_ptr<KernelObject> OpenCommDevice(const std::string&) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
}

} // namespace platform
