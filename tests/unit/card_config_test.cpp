// The card's configuration by name: the values the driver reads from the registry.
#include "virtualcard/card_config.h"

#include <gtest/gtest.h>

namespace {

using virtualcard::CardConfig;
using virtualcard::FlashFault;
using virtualcard::ReplyFault;

TEST(CardConfigTest, NamedValuesSetTheirFieldAndRejectTheRest) {
    CardConfig config;
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "RegisterBase", 0x300));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "programmingtimems", 5));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "ExtendedWait", 1));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "AckReply", 5));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "Flash", 4));
    EXPECT_EQ(config.faults.flash, FlashFault::kWrongText);
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "Flash", 5));
    EXPECT_EQ(config.faults.flash, FlashFault::kLastLetter);
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "RequestReply", 6));
    EXPECT_EQ(config.faults.requestReply, ReplyFault::kLastLetter);
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "Flash", 2));
    EXPECT_TRUE(virtualcard::ApplyConfigValue(config, "CardInfoBytes", 32));
    EXPECT_TRUE(virtualcard::ApplyConfigString(config, "FailFromIndex", "0x20"));
    EXPECT_TRUE(virtualcard::ApplyConfigString(config, "ReadyMagic", "duvordyang"));
    EXPECT_EQ(config.registerBase, 0x300u);
    EXPECT_EQ(config.programmingTimeMs, 5u);
    EXPECT_TRUE(config.extendedWait);
    EXPECT_EQ(config.faults.ackReply, ReplyFault::kShort);
    EXPECT_EQ(config.faults.flash, FlashFault::kAfterPolls);
    EXPECT_EQ(config.faults.cardInfoBytes, 32u);
    EXPECT_EQ(config.faults.failFromIndex, 0x20u);
    EXPECT_STREQ(config.faults.readyMagic, "duvordyang");

    const CardConfig before = config;
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "NoSuchValue", 1));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "ExtendedWait", 2));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "AckReply", 7));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "RequestReply", 7));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "Flash", 6));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "CardInfoBytes", 177));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "ReplyExtraBytes", 65536));
    EXPECT_FALSE(virtualcard::ApplyConfigValue(config, "FailError", 0));
    EXPECT_FALSE(virtualcard::ApplyConfigString(config, "ReadyMagic", "DUVORDYANGX"));
    EXPECT_FALSE(virtualcard::ApplyConfigString(config, "RegisterBase", "12z"));
    EXPECT_EQ(config.registerBase, before.registerBase);
    EXPECT_EQ(config.extendedWait, before.extendedWait);
    EXPECT_EQ(config.faults.ackReply, before.faults.ackReply);
    EXPECT_STREQ(config.faults.readyMagic, before.faults.readyMagic);
}

}  // namespace
