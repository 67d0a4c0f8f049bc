#include <gtest/gtest.h>
#include "records/GameMode.h"

TEST(GameModeTest, VersionsLastStagesAndFileNamesByMode) {
    struct Case {
        std::int32_t mode, version, lastStage;
        const char *last, *best, *ranking;
    };
    const Case cases[] = {
        {1, 0, 1, "./data/lastplay.rep", "./data/bestplay.rep", "./data/ranking.dat"},
        {2, 104, 4, "./data/lastplay_1lap.rep", "./data/bestplay_1lap.rep", "./data/ranking_1lap.dat"},
        {3, 105, 5, "./data/lastplay_2lap.rep", "./data/bestplay_2lap.rep", "./data/ranking_2lap.dat"},
        {4, 106, 4, "./data/lastplay_1lap_b.rep", "./data/bestplay_1lap_b.rep", "./data/ranking_1lap_b.dat"},
        {5, 107, 5, "./data/lastplay_2lap_b.rep", "./data/bestplay_2lap_b.rep", "./data/ranking_2lap_b.dat"},
        // Anything else is treated as the tutorial.
        {0, 0, 1, "./data/lastplay.rep", "./data/bestplay.rep", "./data/ranking.dat"},
        {6, 0, 1, "./data/lastplay.rep", "./data/bestplay.rep", "./data/ranking.dat"},
        {-3, 0, 1, "./data/lastplay.rep", "./data/bestplay.rep", "./data/ranking.dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(replayVersionOf(c.mode), c.version);
        EXPECT_EQ(lastStageOf(c.mode), c.lastStage);
        EXPECT_EQ(lastPlayFileOf(c.mode), c.last);
        EXPECT_EQ(bestPlayFileOf(c.mode), c.best);
        EXPECT_EQ(rankingFileOf(c.mode), c.ranking);
    }
}
