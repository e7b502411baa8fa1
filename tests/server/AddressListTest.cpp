#include <gtest/gtest.h>

#include "QXAddressList.h"
#include "QXArguments.h"

TEST(AddressListTest, FrontsAreAddressesAndRangesOfBothFamilies) {
    CQXAddressList fronts;
    fronts.Add("10.0.0.1, 192.168.8.0/22");
    fronts.Add("fd00:1::/32,::1");
    const struct {
        const char* address;
        bool front;
    } cases[] = {
        {"10.0.0.1", true},
        {"10.0.0.2", false},
        {"192.168.11.255", true},
        {"192.168.12.0", false},
        {"::ffff:10.0.0.1", true},
        {"fd00:1:ffff::9", true},
        {"fd00:2::1", false},
        {"::1", true},
        {"::2", false},
        {"10.0.0.1 ", false},
        {"", false},
        {"not-an-address", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fronts.Contains(c.address), c.front) << c.address;
    EXPECT_FALSE(CQXAddressList().Contains("127.0.0.1"));
}

TEST(AddressListTest, WhatDoesNotParseIsRefusedByName) {
    for (const char* list : {"10.0.0.1,", "10.0.0.256", "10.0.0.0/33", "fd00::/129", "10.0.0.0/",
                             "10.0.0.0/+8", "front-a", "10.0.0.1 10.0.0.2", "[::1]"}) {
        CQXAddressList fronts;
        try {
            fronts.Add(list);
            ADD_FAILURE() << list;
        } catch (const CQXUsageError& error) {
            EXPECT_NE(std::string(error.what()).find("not '"), std::string::npos) << list;
        }
        EXPECT_TRUE(fronts.Empty()) << list;
    }
}

TEST(AddressListTest, ClientAddressesAreCanonicalAndBounded) {
    const struct {
        std::string header;
        std::optional<std::string> canonical;
        std::string key;
    } cases[] = {
        {"192.0.2.7", "192.0.2.7", "192.0.2.7"},
        {"::FFFF:192.0.2.7", "192.0.2.7", "192.0.2.7"},
        {"2001:DB8:0:0:1::9", "2001:db8::1:0:0:9", "2001:db8::/64"},
        {"192.0.2.7, 10.0.0.1", std::nullopt, ""},
        {std::string(5000, '1'), std::nullopt, ""},
        {"", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QXCanonicalAddress(c.header), c.canonical) << c.header.substr(0, 40);
        if (c.canonical) {
            EXPECT_EQ(QXClientKey(c.header), c.key);
        }
    }
}
