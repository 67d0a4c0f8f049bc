#include <gtest/gtest.h>
#include <climits>
#include <sstream>
#include "RecordsFixture.h"
#include "input/Input.h"
#include "platform/headless/HeadlessPlatform.h"
#include "play/GameInfo.h"
#include "records/Score.h"

namespace {

InputRun run(std::int32_t repeat, std::initializer_list<int> buttons = {}) {
    InputRun r;
    r.repeat = repeat;
    for (int b : buttons) r.state[b] = true;
    return r;
}

InputTrace traceOf(std::initializer_list<InputRun> runs) {
    InputTrace t;
    for (const InputRun& r : runs) t.append(r);
    return t;
}

class ScoreTest : public RecordsFixture {
protected:
    // Two stages of a first-lap play, as the play scene would leave them.
    Score sample() {
        Score s(log.get());
        s.storeStage(0, InputTrace{}, 1, 2);
        s.storeStage(1, traceOf({run(0), run(5, {Button1, Right})}), 3, -4);
        s.storeStage(2, traceOf({run(7, {Button3})}), 0, 0);
        s.setHeader({106, 4, 7, 2, 1, 1, 1234, 900});
        return s;
    }
    static void expectSame(Score& a, Score& b) {
        EXPECT_EQ(a.getHeader(), b.getHeader());
        for (int i = 0; i < Score::kMaxStages; ++i) {
            EXPECT_EQ(a.stageStart(i), b.stageStart(i)) << "stage start " << i;
            EXPECT_EQ(a.trace(i), b.trace(i)) << "trace " << i;
        }
    }
};

TEST_F(ScoreTest, WritesTheDocumentedBytes) {
    std::vector<unsigned char> expected;
    putMagic(expected);
    putI32(expected, 32);
    for (std::int32_t v : {106, 4, 7, 2, 1, 1, 1234, 900}) putI32(expected, v);
    for (std::int32_t v : {1, 2, 3, -4}) putI32(expected, v);
    putI32(expected, 2);
    putU16(expected, 0), putU16(expected, 0x00);
    putU16(expected, 5), putU16(expected, 0x11);  // Right is bit 0, Button1 bit 4
    putI32(expected, 1);
    putU16(expected, 7), putU16(expected, 0x40);

    Score s = sample();
    EXPECT_EQ(s.toBytes(), expected);
    std::ostringstream out;
    EXPECT_TRUE(s.write(out));
    EXPECT_EQ(out.str(), std::string(expected.begin(), expected.end()));
    ASSERT_TRUE(s.save("./data/lastplay_1lap_b.rep"));
    EXPECT_EQ(readFile("./data/lastplay_1lap_b.rep"), expected);
    EXPECT_NE(logText().find("スコアファイル書き出し ファイル名：./data/lastplay_1lap_b.rep"), std::string::npos);
}

TEST_F(ScoreTest, LoadReadsBackWhatSaveWrote) {
    Score s = sample();
    ASSERT_TRUE(s.save("./data/x.rep"));
    Score back(log.get());
    ASSERT_TRUE(back.load("./data/x.rep"));
    expectSame(s, back);
    EXPECT_EQ(back.getScore(), 7);
    EXPECT_NE(logText().find("スコアファイル読み込み ファイル名：./data/x.rep"), std::string::npos);

    // A shorter play read over a longer one leaves nothing of the longer one behind.
    Score shorter(log.get());
    shorter.storeStage(0, InputTrace{}, 9, 9);
    shorter.storeStage(1, traceOf({run(3, {Up})}), 0, 0);
    shorter.setHeader({106, 4, 1, 1, 0, 1, 0, 0});
    ASSERT_TRUE(shorter.save("./data/short.rep"));
    ASSERT_TRUE(back.load("./data/short.rep"));
    expectSame(shorter, back);

    Score missing(log.get());
    EXPECT_FALSE(missing.load("./data/none.rep"));
    EXPECT_NE(logText().find("スコアの読み出しに失敗。ファイル名：./data/none.rep"), std::string::npos);
    EXPECT_EQ(missing.getHeader(), ScoreHeader{});
}

TEST_F(ScoreTest, ShorterAndLongerHeadersAndALooseEighteenthByteAreRead) {
    struct Case {
        std::int32_t headerSize;
        unsigned char magicEnd;
        ScoreHeader expected;
    };
    const Case cases[] = {
        {16, 0, {104, 2, 55, 1, 0, 0, 0, 0}},      // lives, valid, time and frames are absent
        {40, 0, {104, 2, 55, 1, 3, 1, 999, 77}},   // eight unknown bytes are skipped
        {32, 'X', {104, 2, 55, 1, 3, 1, 999, 77}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.headerSize);
        std::vector<unsigned char> f;
        putMagic(f, c.magicEnd);
        putI32(f, c.headerSize);
        const std::int32_t fields[10] = {104, 2, 55, 1, 3, 1, 999, 77, -1, -1};
        for (int i = 0; i < c.headerSize / 4; ++i) putI32(f, fields[i]);
        putI32(f, 11), putI32(f, 22);  // stageStart[0]
        putI32(f, 1), putU16(f, 9), putU16(f, 0x20);
        writeFile("./data/h.rep", f);

        Score s(log.get());
        ASSERT_TRUE(s.load("./data/h.rep"));
        EXPECT_EQ(s.getHeader(), c.expected);
        EXPECT_EQ(s.stageStart(0), (Point{11, 22}));
        EXPECT_EQ(s.trace(0), traceOf({run(9, {Button2})}));
    }
}

TEST_F(ScoreTest, HostileFilesAreRefusedAndLeaveTheRecordAsItWas) {
    // A valid two-stage file; each case spoils it in one way.
    std::vector<unsigned char> good;
    putMagic(good);
    putI32(good, 32);
    for (std::int32_t v : {106, 4, 9, 2, 3, 1, 10, 20}) putI32(good, v);
    for (std::int32_t v : {1, 2, 3, 4}) putI32(good, v);
    putI32(good, 2), putU16(good, 1), putU16(good, 0), putU16(good, 3), putU16(good, 1);
    putI32(good, 1), putU16(good, 4), putU16(good, 2);
    ASSERT_EQ(good.size(), 22u + 32 + 16 + 4 + 8 + 4 + 4);

    auto patched = [&](std::size_t offset, std::int32_t v) {
        std::vector<unsigned char> f = good;
        for (int i = 0; i < 4; ++i) f[offset + i] = static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (8 * i));
        return f;
    };
    auto cut = [&](std::size_t keep) { return std::vector<unsigned char>(good.begin(), good.begin() + keep); };
    constexpr std::size_t kHeaderSizeAt = 18, kStagesAt = 22 + 12, kFirstRunCountAt = 22 + 32 + 16;

    struct Case {
        const char* name;
        std::vector<unsigned char> file;
    };
    std::vector<unsigned char> notMagic = good;
    notMagic[3] = 'x';
    const Case cases[] = {
        {"empty file", {}},
        {"not a score file", notMagic},
        {"cut inside the magic", cut(10)},
        {"cut before the header size", cut(18)},
        {"cut inside the header", cut(22 + 20)},
        {"cut inside the stage starts", cut(22 + 32 + 12)},
        {"cut inside a run", cut(good.size() - 2)},
        {"second trace missing", cut(good.size() - 8)},
        {"stages 11", patched(kStagesAt, 11)},
        {"stages -1", patched(kStagesAt, -1)},
        {"stages INT_MAX", patched(kStagesAt, INT_MAX)},
        {"negative run count", patched(kFirstRunCountAt, -1)},
        {"run count beyond the data", patched(kFirstRunCountAt, INT_MAX)},
        {"run count one too many", patched(kFirstRunCountAt, 3)},
        {"header size 0xFFFFFFFF", patched(kHeaderSizeAt, -1)},
        {"header size INT_MAX", patched(kHeaderSizeAt, INT_MAX)},
    };
    Score original = sample();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("./data/bad.rep", c.file);
        Score s = sample();
        EXPECT_FALSE(s.load("./data/bad.rep"));
        expectSame(s, original);
    }
    EXPECT_NE(logText().find("これはスコアファイルでない。"), std::string::npos);
    EXPECT_NE(logText().find("スコアファイルが壊れている。"), std::string::npos);

    // Which of the two a refused file is told by its first 17 bytes alone.
    const std::pair<std::size_t, const char*> verdicts[] = {
        {16, "これはスコアファイルでない。"}, {17, "スコアファイルが壊れている。"}, {18, "スコアファイルが壊れている。"}};
    for (const auto& [keep, verdict] : verdicts) {
        SCOPED_TRACE(keep);
        writeFile("./data/bad.rep", cut(keep));
        Log own("./data/verdict.log");
        Score s(&own);
        EXPECT_FALSE(s.load("./data/bad.rep"));
        std::ifstream in("./data/verdict.log");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(verdict), std::string::npos);
    }

    Score s = sample();
    writeFile("./data/good.rep", good);
    EXPECT_TRUE(s.load("./data/good.rep"));  // the base file itself is fine
    EXPECT_EQ(s.trace(0), traceOf({run(1), run(3, {Right})}));
}

TEST_F(ScoreTest, AssignedRecordsKeepTheirOwnLogAndANullLogIsSilent) {
    const std::string otherPath = "./data/other.log";
    auto otherLog = std::make_unique<Log>(otherPath);
    auto otherText = [&] {
        std::ifstream in(otherPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    Score original(otherLog.get());
    original.storeStage(1, traceOf({run(2, {Left})}), 0, 0);
    original.setHeader({106, 4, 5, 1, 0, 1, 0, 0});

    // Copy- and move-assigned: the play is taken, the log is not.
    Score copied(log.get()), moved(log.get());
    copied = original;
    Score scratch = original;
    moved = std::move(scratch);
    // A copy given a log of its own uses that one.
    Score adopted(original, log.get());
    otherLog.reset();  // the original's log is gone; none of these may touch it

    for (Score* s : {&copied, &moved, &adopted}) {
        expectSame(*s, original);
        EXPECT_TRUE(s->save("./data/copy.rep"));
        EXPECT_EQ(s->traceFor(1), original.trace(0));
    }
    const std::string text = logText();
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("スコアファイル書き出し ファイル名：./data/copy.rep", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 3u);
    EXPECT_EQ(otherText().find("copy.rep"), std::string::npos);

    // Without a log every operation still does its work.
    Score silent(nullptr);
    silent = copied;
    EXPECT_TRUE(silent.save("./data/silent.rep"));
    Score readBack(nullptr);
    EXPECT_TRUE(readBack.load("./data/silent.rep"));
    EXPECT_EQ(readBack.traceFor(1), original.trace(0));
    readBack.storeStage(2, traceOf({run(0)}), 1, 1);
    EXPECT_FALSE(readBack.load("./data/none.rep"));
    writeFile("./data/bad.rep", {'x'});
    EXPECT_FALSE(readBack.load("./data/bad.rep"));
    EXPECT_FALSE(readBack.save("./no/such/folder/x.rep"));
}

TEST_F(ScoreTest, LongRunsAreSplitOnFileAndReplayPollForPoll) {
    Score s(log.get());
    s.storeStage(1, traceOf({run(0), run(200000, {Up}), run(65535, {Down}), run(65536, {Down, Button1})}), 0, 0);
    s.setHeader({106, 4, 0, 1, 0, 1, 0, 0});
    ASSERT_TRUE(s.save("./data/long.rep"));
    Score back(log.get());
    ASSERT_TRUE(back.load("./data/long.rep"));

    // 200001 polls = 3 x 65536 + 3393; 65536 polls fit one run; 65537 need two.
    EXPECT_EQ(back.trace(0), traceOf({run(0), run(65535, {Up}), run(65535, {Up}), run(65535, {Up}), run(3392, {Up}),
                                      run(65535, {Down}), run(65535, {Down, Button1}), run(0, {Down, Button1})}));

    // Replayed, the split trace holds Up exactly as long as the original and presses it once.
    HeadlessInputDevices devices;
    Input input(&devices, log.get());
    input.startReplay(back.trace(0));
    std::int64_t upPolls = 0, polls = 0;
    int upPresses = 0, button1Presses = 0;
    while (input.replaying()) {
        input.update();
        if (!input.replaying()) break;
        ++polls;
        upPolls += input.playHeld(Up);
        while (input.takePress(Up)) ++upPresses;
        while (input.takePress(Button1)) ++button1Presses;
    }
    EXPECT_EQ(upPolls, 200001);
    EXPECT_EQ(upPresses, 1);
    EXPECT_EQ(button1Presses, 1);
    EXPECT_EQ(polls + 1, s.trace(0).polls());  // the first run was applied at the start
}

TEST_F(ScoreTest, SavingFailsCleanlyAndKeepsThePreviousFile) {
    Score s = sample();
    ASSERT_TRUE(s.save("./data/best.rep"));
    const auto before = readFile("./data/best.rep");

    Score tooMany = sample();
    ScoreHeader h = tooMany.getHeader();
    for (std::int32_t stages : {11, -1}) {
        h.stages = stages;
        tooMany.setHeader(h);
        std::ostringstream out;
        EXPECT_FALSE(tooMany.write(out));
        EXPECT_TRUE(out.str().empty());
        EXPECT_FALSE(tooMany.save("./data/best.rep"));
    }
    EXPECT_EQ(readFile("./data/best.rep"), before);

    EXPECT_FALSE(s.save("./no/such/folder/best.rep"));
    EXPECT_NE(logText().find("スコアの書き出しに失敗。ファイル名：./no/such/folder/best.rep"), std::string::npos);
}

TEST_F(ScoreTest, StageIndicesOutsideTheRecordAreSkipped) {
    Score s(log.get());
    const InputTrace t = traceOf({run(4, {Left})});
    for (std::int32_t stage : {-1, 11, INT_MIN, INT_MAX}) s.storeStage(stage, t, 5, 5);
    for (int i = 0; i < Score::kMaxStages; ++i) {
        EXPECT_TRUE(s.trace(i).empty());
        EXPECT_EQ(s.stageStart(i), Point{});
    }
    s.storeStage(10, t, 5, 6);  // the trace of stage 10 fits, a start position for stage 11 does not
    EXPECT_EQ(s.trace(9), t);
    s.storeStage(0, t, 7, 8);  // the start of stage 1; no trace before it
    EXPECT_EQ(s.stageStart(0), (Point{7, 8}));
    for (std::int32_t n : {0, 11, -5, INT_MIN}) EXPECT_TRUE(s.traceFor(n).empty()) << n;
    EXPECT_EQ(s.traceFor(10), t);
    EXPECT_NE(logText().find("スコアにトレースを記録　ステージ = a"), std::string::npos);
    EXPECT_NE(logText().find("スコアからトレースを取得　ステージ = b"), std::string::npos);
}

TEST_F(ScoreTest, FillFromPlayTakesTheResultAndKeepsTheTimes) {
    GameInfo info;
    info.SetStage(3);
    info.SetGameMode(4);
    info.AddItemCount(42);
    Score s(log.get());
    s.setHeader({0, 0, 0, 0, 0, 0, 5000, 300});
    s.fillFromPlay(info);
    EXPECT_EQ(s.getHeader(), (ScoreHeader{106, 4, 42, 3, 0, 1, 5000, 300}));
    info.SetGameMode(1);
    s.fillFromPlay(info);
    EXPECT_EQ(s.getHeader().version, 0);
}

// The play scene's calls, recorded then replayed: the first boundary (stage 0), one clear, the end.
TEST_F(ScoreTest, StageBoundariesRecordOneTracePerStageAndReplayThemInTurn) {
    HeadlessInputDevices devices;
    Input input(&devices, log.get());
    GameInfo info;
    using Keys = std::vector<InputDevices::Key>;
    // Polls once per entry with those keys down; gives the play set's held flags of every poll.
    auto frames = [&](const std::vector<Keys>& script) {
        std::vector<std::vector<bool>> seen;
        for (const Keys& keys : script) {
            for (bool& k : devices.keys) k = false;
            for (auto k : keys) devices.keys[k] = true;
            input.update();
            std::vector<bool> held;
            for (int b = 0; b < kButtonCount; ++b) held.push_back(input.playHeld(b));
            seen.push_back(held);
        }
        return seen;
    };
    std::vector<Keys> stage1(20, Keys{InputDevices::KeyZ});
    stage1.resize(25);
    const std::vector<Keys> stage2(12, Keys{InputDevices::KeyRight, InputDevices::KeyZ});

    Score record(log.get());
    record.stageBoundary(0, input, info);
    EXPECT_TRUE(input.tracing());
    const auto played1 = frames(stage1);
    record.stageBoundary(1, input, info);
    const auto played2 = frames(stage2);
    record.stageBoundary(2, input, info);
    info.SetStage(2);
    info.SetGameMode(4);
    record.fillFromPlay(info);

    EXPECT_EQ(record.getHeader().stages, 2);
    EXPECT_EQ(record.trace(0), traceOf({run(0), run(19, {Button1}), run(4)}));
    EXPECT_EQ(record.trace(1), traceOf({run(0), run(11, {Right, Button1})}));
    EXPECT_TRUE(record.trace(2).empty());

    // Through the file and back, then replayed with the devices idle: every poll of every stage
    // shows the play set it showed when recorded.
    ASSERT_TRUE(record.save("./data/r.rep"));
    Score replay(log.get());
    ASSERT_TRUE(replay.load("./data/r.rep"));
    info.SetReplay(true);
    replay.stageBoundary(0, input, info);
    EXPECT_TRUE(input.replaying());
    EXPECT_EQ(frames(std::vector<Keys>(stage1.size())), played1);
    replay.stageBoundary(1, input, info);
    EXPECT_EQ(frames(std::vector<Keys>(stage2.size())), played2);
    replay.stageBoundary(2, input, info);  // no third trace: the replay ends at the next poll
    frames({Keys{}});
    EXPECT_FALSE(input.replaying());
}

}  // namespace
