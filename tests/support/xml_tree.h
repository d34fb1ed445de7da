// SPDX-License-Identifier: MIT
#pragma once

// The elements of an XML document the tool wrote (a chart, a JUnit report), read back as a
// reader would: well-formed or an error, entities decoded. Enough XML for what the tool writes:
// elements, attributes, text, comments and the declaration; no DTD.

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bexen::testing {

struct XmlElement {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<XmlElement>> children;
    std::string text; // the text directly inside, decoded

    std::string attribute(const std::string &key) const
    {
        const auto it = attributes.find(key);
        return it == attributes.end() ? std::string() : it->second;
    }
};

namespace detail {

class XmlParser {
public:
    explicit XmlParser(std::string_view text) : m_text(text) {}

    std::unique_ptr<XmlElement> document(std::string &error)
    {
        skipProlog();
        auto root = element();
        skipMisc();
        if (!m_error.empty() || m_at != m_text.size()) {
            error = m_error.empty() ? "content after the root element" : m_error;
            error += " at offset " + std::to_string(m_at);
            return nullptr;
        }
        return root;
    }

private:
    bool fail(const std::string &what)
    {
        if (m_error.empty())
            m_error = what;
        return false;
    }
    bool startsHere(std::string_view s) const { return m_text.substr(m_at, s.size()) == s; }
    void skipSpace()
    {
        while (m_at < m_text.size() && std::string_view(" \t\r\n").find(m_text[m_at]) != std::string_view::npos)
            ++m_at;
    }
    bool skipPast(std::string_view end)
    {
        const std::size_t found = m_text.find(end, m_at);
        if (found == std::string_view::npos)
            return fail("unclosed " + std::string(end));
        m_at = found + end.size();
        return true;
    }
    void skipMisc()
    {
        for (;;) {
            skipSpace();
            if (startsHere("<!--"))
                skipPast("-->");
            else if (startsHere("<?"))
                skipPast("?>");
            else
                return;
        }
    }
    void skipProlog() { skipMisc(); }

    std::string name()
    {
        const std::size_t from = m_at;
        while (m_at < m_text.size()
               && (std::isalnum(static_cast<unsigned char>(m_text[m_at])) || m_text[m_at] == '_'
                   || m_text[m_at] == '-' || m_text[m_at] == ':' || m_text[m_at] == '.'))
            ++m_at;
        if (from == m_at)
            fail("a name expected");
        return std::string(m_text.substr(from, m_at - from));
    }

    std::string decode(std::string_view raw)
    {
        std::string out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '<') {
                fail("'<' in text or an attribute");
                return out;
            }
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const std::size_t end = raw.find(';', i);
            if (end == std::string_view::npos) {
                fail("unclosed entity");
                return out;
            }
            const std::string_view entity = raw.substr(i + 1, end - i - 1);
            static const std::map<std::string_view, char> named{
                    {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
            if (const auto it = named.find(entity); it != named.end()) {
                out += it->second;
            } else if (entity.size() > 1 && entity[0] == '#') {
                const bool hex = entity[1] == 'x';
                const unsigned long code = std::stoul(std::string(entity.substr(hex ? 2 : 1)), nullptr,
                                                      hex ? 16 : 10);
                if (code < 0x80) {
                    out += static_cast<char>(code);
                } else if (code < 0x800) {
                    out += static_cast<char>(0xC0 | (code >> 6));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                } else {
                    out += static_cast<char>(0xE0 | (code >> 12));
                    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (code & 0x3F));
                }
            } else {
                fail("unknown entity &" + std::string(entity) + ";");
                return out;
            }
            i = end;
        }
        return out;
    }

    std::unique_ptr<XmlElement> element()
    {
        if (!startsHere("<")) {
            fail("an element expected");
            return nullptr;
        }
        ++m_at;
        auto e = std::make_unique<XmlElement>();
        e->name = name();
        for (;;) {
            skipSpace();
            if (startsHere("/>")) {
                m_at += 2;
                return e;
            }
            if (startsHere(">")) {
                ++m_at;
                break;
            }
            const std::string key = name();
            skipSpace();
            if (!m_error.empty() || !startsHere("=")) {
                fail("'=' expected after " + key);
                return e;
            }
            ++m_at;
            skipSpace();
            const char quote = m_at < m_text.size() ? m_text[m_at] : '\0';
            if (quote != '"' && quote != '\'') {
                fail("a quoted value expected for " + key);
                return e;
            }
            const std::size_t end = m_text.find(quote, m_at + 1);
            if (end == std::string_view::npos) {
                fail("unclosed value of " + key);
                return e;
            }
            if (e->attributes.count(key))
                fail("attribute " + key + " twice");
            e->attributes[key] = decode(m_text.substr(m_at + 1, end - m_at - 1));
            m_at = end + 1;
        }
        while (m_error.empty()) {
            if (m_at >= m_text.size()) {
                fail("unclosed element " + e->name);
                break;
            }
            if (startsHere("</")) {
                m_at += 2;
                const std::string closing = name();
                skipSpace();
                if (closing != e->name || !startsHere(">"))
                    fail("</" + closing + "> closes <" + e->name + ">");
                ++m_at;
                break;
            }
            if (startsHere("<!--")) {
                skipPast("-->");
            } else if (startsHere("<![CDATA[")) {
                m_at += 9;
                const std::size_t end = m_text.find("]]>", m_at);
                if (end == std::string_view::npos) {
                    fail("unclosed CDATA");
                    break;
                }
                e->text += m_text.substr(m_at, end - m_at);
                m_at = end + 3;
            } else if (startsHere("<")) {
                e->children.push_back(element());
            } else {
                const std::size_t end = std::min(m_text.find('<', m_at), m_text.size());
                e->text += decode(m_text.substr(m_at, end - m_at));
                m_at = end;
            }
        }
        return e;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    std::string m_error;
};

} // namespace detail

// The root element, or nothing with `error` saying what is wrong and where.
inline std::unique_ptr<XmlElement> parseXml(std::string_view text, std::string &error)
{
    return detail::XmlParser(text).document(error);
}

} // namespace bexen::testing
