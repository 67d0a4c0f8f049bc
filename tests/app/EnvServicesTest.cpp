#include <gtest/gtest.h>
#include "app/Env.h"
#include "app/Log.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/RankingClient.h"

namespace {
// Counts what the hub asks of the services it is given.
struct FakeMusic : MusicService {
    void update() override { ++updates; }
    bool load(const std::string&, int) override { return true; }
    void play(int id) override { current = id; }
    void stop() override {}
    int currentId() const override { return current; }
    int updates = 0;
    int current = -1;
};
}  // namespace

TEST(EnvServices, WithoutAFactoryTheMusicIsSilentButKeepsTheSlot) {
    HeadlessPlatform platform;
    Log log("");
    Env env(platform, &log, EnvOptions{.noSleep = true, .openAudio = false});
    EXPECT_EQ(env.bgm.currentId(), -1);
    EXPECT_TRUE(env.bgm.load("/nonexistent.mid", 3)) << "silent music reads nothing";
    EXPECT_FALSE(env.bgm.load("/nonexistent.mid", 10));
    env.bgm.play(3);
    env.bgm.play(12);
    EXPECT_EQ(env.bgm.currentId(), 3) << "ids outside the slots are ignored";
    EXPECT_EQ(env.makeRankingClient(&log), nullptr);
}

TEST(EnvServices, TheMusicFactoryGetsTheMixerOnlyWhenTheAudioDeviceOpened) {
    for (bool device : {false, true}) {
        SCOPED_TRACE(device);
        HeadlessPlatform platform;
        platform.audioDevice().available = device;
        Log log("");
        Mixer* given = reinterpret_cast<Mixer*>(1);
        FakeMusic* made = nullptr;
        EnvOptions options{.noSleep = true};
        options.music = [&](Log*, Mixer* mixer) {
            given = mixer;
            auto music = std::make_unique<FakeMusic>();
            made = music.get();
            return music;
        };
        Env env(platform, &log, options);
        EXPECT_EQ(given, device ? &env.mixer : nullptr);
        EXPECT_EQ(&env.bgm, made);
        env.Tick();
        EXPECT_EQ(made->updates, 1) << "the music is updated once a frame";
    }
}

TEST(EnvServices, TheRankingFactoryBuildsOneClientPerCall) {
    struct NullClient : RankingClient {
        bool updateRanking(std::ostream&, std::int32_t) override { return false; }
        void fetchReplay(Score&, std::int32_t) override {}
        bool sendPlay(const Score&, const std::string&, const std::string&, const std::string&) override { return false; }
    };
    HeadlessPlatform platform;
    Log log("");
    int built = 0;
    EnvOptions options{.noSleep = true, .openAudio = false};
    options.ranking = [&](Env* env, Log*) {
        ++built;
        EXPECT_NE(env, nullptr);
        return std::make_unique<NullClient>();
    };
    Env env(platform, &log, options);
    EXPECT_NE(env.makeRankingClient(&log), nullptr);
    EXPECT_NE(env.makeRankingClient(&log), nullptr);
    EXPECT_EQ(built, 2);
}
