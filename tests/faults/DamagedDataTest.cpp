// The game over a data folder where every file it reads is missing, unreadable (a folder in its
// place), garbage or cut in half: the title, a play and the records scene run on, and every file
// that could not be used is logged.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include "app/Env.h"
#include "app/SystemSave.h"
#include "music/BGM.h"
#include "platform/headless/HeadlessPlatform.h"
#include "play/GameMain.h"
#include "records/GameMode.h"
#include "records/GameScore.h"
#include "records/GameTitle.h"
#include "records/Score.h"
#include "support/RecordingLog.h"
#include "support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

enum class Damage { Missing, Folder, Garbage, CutInHalf };

struct DamageCase {
    const char* name;
    Damage damage;
};

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A whole file of each kind, as the game would find it before the damage.
Bytes wholeFile(const std::string& name) {
    if (name.ends_with(".wav") || name.ends_with(".mid")) return readFile(fs::path(NIMBULON_SOURCE_DIR) / "data" / name);
    if (name.ends_with(".rep")) {
        Score s(nullptr);
        s.setHeader({replayVersionOf(ModeFirstLap), ModeFirstLap, 30, 1, 2, 1, 1000, 600});
        s.storeStage(1, InputTrace{}, 0, 0);
        return s.toBytes();
    }
    if (name == "system.sav") {
        SystemSave save("./whole.sav");
        save.name = "pilot";
        save.Write();
        Bytes bytes = readFile("./whole.sav");
        fs::remove("./whole.sav");
        return bytes;
    }
    const std::string text = "rank\n1\nusername\nabc\nscore\n12\n\n";
    return Bytes(text.begin(), text.end());
}

void damage(const std::string& name, Damage how) {
    const fs::path path = fs::path("data") / name;
    switch (how) {
        case Damage::Missing: return;
        case Damage::Folder: fs::create_directories(path); return;
        case Damage::Garbage: {
            std::ofstream(path, std::ios::binary) << "\x7f" "garbage, not a file of this kind";
            return;
        }
        case Damage::CutInHalf: {
            const Bytes whole = wholeFile(name);
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(whole.size() / 2));
            return;
        }
    }
}

class DamagedData : public ::testing::TestWithParam<DamageCase> {
protected:
    void frames(int n, std::initializer_list<InputDevices::Key> keys = {}) {
        for (int i = 0; i < n; ++i) {
            for (bool& k : platform.inputDevices().keys) k = false;
            for (auto k : keys) platform.inputDevices().keys[k] = true;
            if (Game* next = scene->Run()) scene.reset(next);
        }
    }
    int count(const std::string& text) const {
        return static_cast<int>(std::count_if(log.lines.begin(), log.lines.end(),
                                              [&](const std::string& l) { return l.find(text) != std::string::npos; }));
    }

    TempWorkDir dir;
    RecordingLog log;
    HeadlessPlatform platform;
    std::unique_ptr<Env> env;
    std::unique_ptr<Game> scene;
};

const char* const kEffects[] = {"se_click.wav", "se_burst1.wav", "se_burst2.wav", "se_hit.wav",
                                "se_charge.wav", "se_rupee.wav", "se_extend.wav", "se_shot.wav"};
const char* const kSongs[] = {"title.mid", "stage1.mid", "stage2.mid", "stage3.mid", "stage4.mid", "stage5.mid"};

}  // namespace

TEST_P(DamagedData, TheGamePlaysOnAndLogsEveryFileItCannotUse) {
    const Damage how = GetParam().damage;
    for (const char* name : kEffects) damage(name, how);
    for (const char* name : kSongs) damage(name, how);
    for (const char* name : {"system.sav", "lastplay_1lap_b.rep", "bestplay_1lap_b.rep", "ranking_1lap_b.dat"})
        damage(name, how);

    // The game's own music service (without an audio device: the songs are read all the same).
    EnvOptions options{false, nullptr, true, false};
    options.music = [](Log* l, Mixer* mixer) { return std::make_unique<BGM>(l, mixer); };
    env = std::make_unique<Env>(platform, &log, options);
    EXPECT_FALSE(env->save.shortCourseCleared);

    // The title, then a play of the first lap, fire held for five seconds.
    scene = std::make_unique<GameTitle>(env.get(), &log);
    frames(5);
    auto* title = dynamic_cast<GameTitle*>(scene.get());
    ASSERT_NE(title, nullptr);
    title->menu().SetCurrent(7);  // "play 1st lap"
    frames(1, {InputDevices::KeyZ});
    ASSERT_NE(dynamic_cast<GameMain*>(scene.get()), nullptr) << "the play began";
    frames(300, {InputDevices::KeyZ});
    EXPECT_NE(dynamic_cast<GameMain*>(scene.get()), nullptr) << "the play goes on";

    // The records of the first lap, and the best play chosen for watching.
    scene = std::make_unique<GameScore>(env.get(), &log, ModeFirstLap);
    frames(5);
    auto* records = dynamic_cast<GameScore*>(scene.get());
    ASSERT_NE(records, nullptr);
    records->menu().SetCurrent(GameScore::WatchBestPlay);
    frames(1, {InputDevices::KeyZ});
    frames(30);
    EXPECT_TRUE(dynamic_cast<GameScore*>(scene.get()) || dynamic_cast<GameMain*>(scene.get()));
    scene.reset();
    env.reset();

    // Every effect and song that could not be used is logged (the title and the play load them).
    EXPECT_GE(count("サウンドロードエラー:"), 8) << "the eight effects";
    EXPECT_GE(count("BGM: MIDIロード失敗"), 6) << "the six songs";
    // The replays are each refused, as not found or not a whole replay file.
    const int replayLines = count("スコアの読み出しに失敗") + count("これはスコアファイルでない") + count("スコアファイルが壊れている");
    EXPECT_GE(replayLines, 2) << "the last and the best play";
    switch (how) {
        case Damage::Missing:
            EXPECT_GE(count("ランキングの読み出しに失敗"), 1);
            EXPECT_EQ(count("システムセーブ"), 0) << "no save yet is the first run, not a fault";
            break;
        case Damage::Folder:
            EXPECT_GE(count("ランキングの読み出しに失敗"), 1);
            EXPECT_EQ(count("システムセーブが壊れている"), 1);
            break;
        case Damage::Garbage:
        case Damage::CutInHalf:
            // A ranking file is text: whatever it holds is shown as it comes.
            EXPECT_EQ(count("システムセーブが壊れている"), 1);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DamagedData,
                         ::testing::Values(DamageCase{"Missing", Damage::Missing}, DamageCase{"Folder", Damage::Folder},
                                           DamageCase{"Garbage", Damage::Garbage},
                                           DamageCase{"CutInHalf", Damage::CutInHalf}),
                         [](const auto& info) { return std::string(info.param.name); });
