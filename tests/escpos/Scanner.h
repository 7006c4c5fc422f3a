// Reads codes back from the printer's pictures with zxing-cpp's command-line reader.
#pragma once

#include "escpos/Printer.h"
#include "escpos/drawing/Fonts.h"
#include "escpos/drawing/Raster.h"
#include "tests/support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testsupport {

inline bool ScannerInstalled() {
    return std::system("command -v ZXingReader >/dev/null 2>&1") == 0;
}

// The contents of every code of Format ("QRCode", "EAN-13", ...; empty for any) in the picture.
inline std::vector<std::string> Scan(const escpos::Bitmap& Picture,
                                     const std::string& Format = "") {
    TempDir dir;
    const std::string png = dir / "code.png";
    escpos::WriteFile(png, escpos::EncodePng(Picture));
    const std::string command = "ZXingReader -bytes " +
                                (Format.empty() ? std::string() : "-format " + Format + " ") + "'" +
                                png + "' 2>/dev/null";
    std::vector<std::string> found;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return found;
    std::string out;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, got);
    ::pclose(pipe);
    if (!out.empty())
        found.push_back(out);
    return found;
}

// Every page of P drawn and scanned.
inline std::vector<std::string> ScanPages(const escpos::Printer& P, const std::string& Format) {
    std::vector<std::string> found;
    for (const auto& page : P.Pages())
        for (auto& data :
             Scan(escpos::RenderPage(page, P.Model().Width, escpos::Fonts::Shared()), Format))
            found.push_back(data);
    return found;
}

// Each picture on the page scanned on its own, with white around it: what it holds, or "" when
// nothing scans.
inline std::vector<std::string> ScanItems(const escpos::Page& P) {
    std::vector<std::string> found;
    for (const auto& item : P.Items) {
        if (item.What != escpos::Item::Image)
            continue;
        const auto& picture = *item.Picture;
        escpos::Bitmap framed(picture.Width + 80, picture.Height + 80);
        escpos::Blit(framed, picture, 40, 40);
        const auto data = Scan(framed);
        found.push_back(data.empty() ? "" : data[0]);
    }
    return found;
}

} // namespace testsupport
