#include "platform/calendar.h"

#include <gtest/gtest.h>

TEST(Calendar, DateExists)
{
    const struct {
        int year, month, day;
        bool exists;
    } cases[] = {
        {2024, 2, 29, true},   {2023, 2, 29, false}, {2023, 2, 28, true},  {2000, 2, 29, true},
        {2100, 2, 29, false},  {1900, 2, 29, false}, {2096, 2, 29, true},  {2024, 2, 30, false},
        {2025, 4, 30, true},   {2025, 4, 31, false}, {2025, 6, 31, false}, {2025, 9, 31, false},
        {2025, 11, 31, false}, {2025, 1, 31, true},  {2025, 1, 32, false}, {2099, 12, 31, true},
        {2025, 7, 31, true},   {2025, 8, 31, true},  {2025, 1, 0, false},  {2025, 0, 1, false},
        {2025, 13, 1, false},  {2025, -1, 1, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(platform::dateExists(c.year, c.month, c.day), c.exists) << c.year << '-' << c.month << '-' << c.day;
}
