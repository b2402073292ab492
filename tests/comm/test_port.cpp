// The port of a vendor address, as every program reads it.
#include "comm/port.h"

#include <gtest/gtest.h>

#include <string>

TEST(ParsePort, TakesOnlyPlainDigitsFromOneTo65535)
{
    struct Case {
        std::string text;
        int port; // -1: refused
    } cases[] = {
        {"80", 80},
        {"1", 1},
        {"65535", 65535},
        {"09004", 9004}, // five digits, a zero in front
        {"0", -1},
        {"00000", -1},
        {"65536", -1},
        {"99999", -1},
        {"+80", -1},
        {"-1", -1},
        {"-0", -1},
        {" 80", -1},
        {"80 ", -1},
        {"\t80", -1},
        {"8o", -1},
        {"0x50", -1},
        {"", -1},
        {"000080", -1}, // six bytes are never a port
        {"123456789012345678901234567890", -1},
        {std::string("80\0", 3), -1},
    };
    for (const Case &c : cases) {
        uint16_t port = 4321;
        const bool ok = ParsePort(c.text, port);
        EXPECT_EQ(ok, c.port >= 0) << '"' << c.text << '"';
        EXPECT_EQ(port, c.port >= 0 ? c.port : 4321) << '"' << c.text << "\": left alone when refused";
    }
}
