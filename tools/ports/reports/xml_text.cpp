// SPDX-License-Identifier: MIT
#include "reports/xml_text.h"

namespace bexen::ports {

std::string xmlText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            switch (byte) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            // A DOS program ends its lines CR LF; a bare CR would reach a reader as a line end.
            case '\r': out += "&#13;"; break;
            default: out += (byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7f
                            ? '?' : static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        const std::size_t length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc2 ? 2 : 0;
        bool valid = length != 0 && byte <= 0xf4 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (valid && length >= 3) {
            // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
            const auto next = static_cast<unsigned char>(text[i + 1]);
            valid = !(byte == 0xe0 && next < 0xa0) && !(byte == 0xed && next >= 0xa0)
                    && !(byte == 0xf0 && next < 0x90) && !(byte == 0xf4 && next >= 0x90);
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

} // namespace bexen::ports
