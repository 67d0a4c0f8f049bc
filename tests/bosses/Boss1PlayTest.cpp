// Whole plays through the play scene: Stage 1's boss can be beaten and its death clears the stage.
#include <gtest/gtest.h>
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"
#include "play/PlayHarness.h"

namespace {

TEST(Boss1PlayTest, FiringShipBeatsTheStageOneBossInBothVersions) {
    for (int mode : {3, 4}) {
        PlayHarness play(mode, /*drawing=*/false);
        const std::uint8_t fire = PlayHarness::bit(Button1);
        int frame = 0;
        int itemsBeforeBoss = -1;
        // Weave under the boss while firing; extra lives keep the ship in the fight.
        while (play.stage() == 1 && frame < 12000 && !play.ended()) {
            const std::uint8_t weave = (frame / 40) % 2 ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
            if (frame == 1100) itemsBeforeBoss = play.items();
            play.step(fire | weave);
            if (play.info().GetPlayer()->GetLives() < 3) play.info().GetPlayer()->SetLives(3);
            ++frame;
        }
        EXPECT_EQ(play.stage(), 2) << "mode " << mode << " after " << frame << " frames";
        EXPECT_GT(play.items(), itemsBeforeBoss) << "mode " << mode;
    }
}

}  // namespace
