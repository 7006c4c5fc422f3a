// The cash drawer: ESC p pulses a connector pin, and so does DLE DC4, whose other real-time
// functions clear the buffers or only answer.
#include "escpos/Printer.h"

#include "escpos/Format.h"
#include "escpos/PrinterDetail.h"

#include <algorithm>

namespace escpos {

std::string Printer::KickDrawer(const Command& C) {
    const std::uint8_t n = C.At(2);
    const int m = Choice(n);
    if (m > 1) {
        Warn(C.Offset, Format("ESC p %u: no such connector pin; ignored", n));
        return "ignored";
    }
    const int pin = m == 0 ? 2 : 5;
    const int t1 = C.At(3), t2 = C.At(4);
    // The off time is never shorter than the on time.
    const int onMs = t1 * 2, offMs = std::max(t1, t2) * 2;
    return Pulse(C.Offset, pin, onMs, offMs);
}

std::string Printer::RealTimeFunction(const Command& C) {
    const std::uint8_t fn = C.At(2);
    if (fn == 1) {
        const int m = C.At(3), t = C.At(4);
        if (m > 1 || t < 1 || t > 8) {
            Warn(C.Offset, "DLE DC4 1: pin or time out of range; ignored");
            return "ignored";
        }
        const int pin = m == 0 ? 2 : 5;
        return Pulse(C.Offset, pin, t * 100, t * 100);
    }
    if (fn == 8) {
        FLine = Pending{};
        return "clear the buffers";
    }
    return fn == 2 ? "power-off sequence" : "real-time request";
}

} // namespace escpos
