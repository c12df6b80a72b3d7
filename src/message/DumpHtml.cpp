#include "message/Request.h"

#include <string>
#include <string_view>

namespace http {

namespace {

/// Writes `text` so that no received byte can open markup in the listing: the
/// listing shows whatever a browser sent, so it is escaped like any other
/// untrusted text.
void writeEscaped(std::string& out, std::string_view text)
{
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* entity = nullptr;
        switch (text[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        default: continue;
        }
        out.append(text, plainFrom, i - plainFrom);
        out += entity;
        plainFrom = i + 1;
    }
    out.append(text, plainFrom);
}

void writeRow(std::string& out, std::string_view title, std::string_view text)
{
    out += "<tr bgcolor=\"eeeeee\"><td valign=\"top\"><b>";
    out += title;
    out += "</b></td><td valign=\"top\"><pre>";
    writeEscaped(out, text);
    out += "</pre></td></tr>";
}

template <typename Map>
void writeTableRow(std::string& out, std::string_view title, const Map& entries)
{
    out += "<tr bgcolor=\"eeeeee\"><td valign=\"top\"><b>";
    out += title;
    out += "</b></td><td valign=\"top\"><table border=\"0\">";
    // Each entry closes its cell but leaves its row open, as the listing always has.
    for (const auto& [name, value] : entries) {
        out += "<tr><td valign=\"top\"><i>";
        writeEscaped(out, name);
        out += ":</i></td><td valign=\"top\">";
        writeEscaped(out, value);
        out += "</td>";
    }
    out += "</table></td></tr>";
}

} // namespace

void Request::dumpHtml(std::string& out) const
{
    out += "<table border=\"0\" cellspacing=\"2\">\r\n";
    writeRow(out, "Request:", head);
    writeRow(out, "Request URI:", path);
    writeRow(out, "Protocol:", protocol);
    writeTableRow(out, "Headers:", headers);
    writeTableRow(out, "Params:", params);
    writeRow(out, "Data:", body);
    out += "</table>";
}

} // namespace http
