// SPDX-License-Identifier: MIT
#include "shared/words.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace bexen::ports;

namespace {

enum class Parser { Port, Value };

struct NumberRow {
    const char *name;
    Parser parser;
    std::string text;
    std::optional<int> number; // nullopt: refused
};

} // namespace

TEST(PortArgs, WholeNumbers)
{
    const NumberRow rows[] = {
            // the range of the file: port 100 is its first byte, 65535 the highest address
            {"port: first port", Parser::Port, "100", 100},
            {"port: sensor port", Parser::Port, "150", 150},
            {"port: light 4", Parser::Port, "163", 163},
            {"port: highest", Parser::Port, "65535", 65535},
            {"port: leading zero is still decimal", Parser::Port, "0160", 160},
            {"port: below the file", Parser::Port, "99", std::nullopt},
            {"port: zero", Parser::Port, "0", std::nullopt},
            {"port: one past highest", Parser::Port, "65536", std::nullopt},
            // numbers that would wrap a 32- or 64-bit reader
            {"port: 2^32 + 160", Parser::Port, "4294967456", std::nullopt},
            {"port: 2^64 + 160", Parser::Port, "18446744073709551776", std::nullopt},
            {"port: very long", Parser::Port, std::string(400, '9'), std::nullopt},
            // signs, blanks, bases and partial numbers
            {"port: plus sign", Parser::Port, "+160", std::nullopt},
            {"port: minus sign", Parser::Port, "-160", std::nullopt},
            {"port: minus zero", Parser::Port, "-0", std::nullopt},
            {"port: leading blank", Parser::Port, " 160", std::nullopt},
            {"port: trailing blank", Parser::Port, "160 ", std::nullopt},
            {"port: trailing newline", Parser::Port, "160\n", std::nullopt},
            {"port: hex", Parser::Port, "0xA0", std::nullopt},
            {"port: exponent", Parser::Port, "1.6e2", std::nullopt},
            {"port: fraction", Parser::Port, "160.0", std::nullopt},
            {"port: trailing letters", Parser::Port, "160abc", std::nullopt},
            {"port: empty", Parser::Port, "", std::nullopt},
            {"port: word", Parser::Port, "port", std::nullopt},

            // byte values
            {"value: zero", Parser::Value, "0", 0},
            {"value: green", Parser::Value, "4", 4},
            {"value: all sensors", Parser::Value, "15", 15},
            {"value: highest", Parser::Value, "255", 255},
            {"value: one past", Parser::Value, "256", std::nullopt},
            {"value: wraps to 4 as a byte", Parser::Value, "260", std::nullopt},
            {"value: minus one", Parser::Value, "-1", std::nullopt},
            {"value: plus", Parser::Value, "+4", std::nullopt},
            {"value: hex", Parser::Value, "0x0F", std::nullopt},
            {"value: binary-looking is decimal", Parser::Value, "101", 101},
            {"value: empty", Parser::Value, "", std::nullopt},
            {"value: word", Parser::Value, "green", std::nullopt},
    };
    for (const NumberRow &row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<int> parsed;
        switch (row.parser) {
        case Parser::Port:
            if (const auto port = parsePort(row.text))
                parsed = *port;
            break;
        case Parser::Value:
            if (const auto value = parseByteValue(row.text))
                parsed = *value;
            break;
        }
        EXPECT_EQ(parsed, row.number);
    }
}
