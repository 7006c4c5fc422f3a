#include "escpos/TraceJson.h"

#include "escpos/Format.h"

#include <string_view>
#include <vector>

namespace escpos {

void TraceEntryJson(std::string& Out, const TraceEntry& E) {
    Out += Format("{\"offset\": %zu, \"length\": %zu, \"name\": ", E.Offset, E.Length);
    JsonString(Out, E.Name);
    Out += ", \"bytes\": ";
    JsonString(Out, E.Name == "text" ? "" : E.Hex);
    Out += ", \"detail\": ";
    JsonString(Out, E.Detail);
    Out += "}";
}

std::string TraceJson(const Printer& P) {
    std::string out = "{\n  \"profile\": ";
    JsonString(out, P.Model().Name);
    out += ",\n  \"commands\": [";
    bool first = true;
    for (const auto& e : P.Trace()) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        TraceEntryJson(out, e);
    }
    out += first ? "],\n  \"pages\": [" : "\n  ],\n  \"pages\": [";
    first = true;
    for (const auto& page : P.Pages()) {
        out += first ? "\n    {\"lines\": [" : ",\n    {\"lines\": [";
        first = false;
        bool firstLine = true;
        // The lines of the page, page mode's among them, in the order they were laid out.
        std::vector<const Item*> lines;
        for (const auto& item : page.Items) {
            if (item.What == Item::Line)
                lines.push_back(&item);
            for (std::size_t i = 0; item.What == Item::PageData && i < item.BufferParts; ++i) {
                const auto& part = item.Buffer->Parts[i];
                if (!part.Erase && part.What.What == Item::Line &&
                    !item.Buffer->Wiped(i, item.BufferParts))
                    lines.push_back(&part.What);
            }
        }
        for (const Item* line : lines) {
            const Item& item = *line;
            out += firstLine ? "\n      " : ",\n      ";
            firstLine = false;
            out += Format("{\"offset\": %zu, \"text\": ", item.Offset);
            JsonString(out, item.Text);
            if (item.Wrapped)
                out += ", \"wrapped\": true";
            // Each run of one style, so sizes and emphasis can be checked without the picture.
            out += ", \"runs\": [";
            std::size_t i = 0;
            bool firstRun = true;
            while (i < item.Glyphs.size()) {
                const Glyph& g = item.Glyphs[i];
                std::size_t j = i;
                std::string text;
                while (j < item.Glyphs.size() && item.Glyphs[j].FontB == g.FontB &&
                       item.Glyphs[j].Emphasised == g.Emphasised &&
                       item.Glyphs[j].Underline == g.Underline &&
                       item.Glyphs[j].WidthMul == g.WidthMul &&
                       item.Glyphs[j].HeightMul == g.HeightMul &&
                       item.Glyphs[j].Reverse == g.Reverse) {
                    AppendUtf8(text,
                               item.Glyphs[j].Character ? item.Glyphs[j].Character : U'\uFFFD');
                    ++j;
                }
                out += firstRun ? "{" : ", {";
                firstRun = false;
                out += "\"text\": ";
                JsonString(out, text);
                out += Format(", \"font\": \"%c\", \"emphasised\": %s, \"underline\": %d, "
                              "\"width\": %d, \"height\": %d, \"reverse\": %s}",
                              g.FontB ? 'B' : 'A', g.Emphasised ? "true" : "false", g.Underline,
                              g.WidthMul, g.HeightMul, g.Reverse ? "true" : "false");
                i = j;
            }
            out += "]}";
        }
        out += firstLine ? "], \"cut\": " : "\n    ], \"cut\": ";
        std::string cut = "null";
        for (const auto& item : page.Items)
            if (item.What == Item::Cut)
                cut = item.Partial ? "\"partial\"" : "\"full\"";
        out += cut + ", \"notes\": [";
        bool firstNote = true;
        for (const auto& item : page.Items) {
            if (item.What != Item::Note)
                continue;
            if (!firstNote)
                out += ", ";
            firstNote = false;
            JsonString(out, item.Text);
        }
        out += "]}";
    }
    out += first ? "],\n  \"warnings\": [" : "\n  ],\n  \"warnings\": [";
    first = true;
    for (const auto& w : P.Warnings()) {
        out += first ? "\n    " : ",\n    ";
        first = false;
        out += Format("{\"offset\": %zu, \"message\": ", w.Offset);
        JsonString(out, w.Message);
        out += "}";
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

} // namespace escpos
