// A pilot for recording long honest plays headless: it fires all the time, heads for the spot
// under the enemy with the most hit points and dodges by looking ahead. Each look ahead is a
// forked copy of this process that plays on with a candidate move and reports how long the ship
// lived; the play itself only ever receives buttons, so what it records is a genuine play that
// any replay re-simulates exactly.
#pragma once
#include <sys/wait.h>
#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include "bosses/CharacterEnemyBoss2.h"
#include "combat/CharacterEnemy.h"
#include "combat/CharacterPlayer.h"
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"

class Autopilot {
public:
    // Where a pilot would rather be: the spot it heads for while nothing threatens (pixels).
    using Aim = std::function<void(PlayHarness& play, int& x, int& y)>;

    // decision: frames a move is held; horizon: frames a look ahead plays on (at most 255);
    // aim: the spot to head for (by default under the sturdiest enemy, low on the screen).
    explicit Autopilot(PlayHarness& play, int decision = 8, int horizon = 120, Aim aim = nullptr)
        : play_(play), decision_(decision), horizon_(horizon), aim_(std::move(aim)) {}

    // Plays one decision's frames. Returns false once the play has ended.
    bool step() {
        if (play_.ended()) return false;
        // A plan that was seen to keep the ship alive stays safe exactly as long as was seen (the
        // play is deterministic), so heading for the preferred spot goes on until little of that
        // stretch is left; an escape is looked at again after each decision.
        if (safeLeft_ < kMargin || then_ != ThenPreferred) plan();
        int m = move_;
        if (planFrame_ >= decision_) m = then_ == ThenPreferred ? preferredMove() : then_ == ThenKeep ? move_ : 0;
        for (int i = 0; i < decision_ && !play_.ended(); ++i) play_.step(buttons(m));
        planFrame_ += decision_;
        safeLeft_ -= decision_;
        return !play_.ended();
    }

    long lookAheads() const { return lookAheads_; }

private:
    // Frames of a plan seen safe below which a new one is sought.
    static constexpr int kMargin = 60;

    // Finds the move (nearest the preferred one first) and the way on after it that keep the
    // ship alive longest, stopping at the first that lives through the whole horizon.
    void plan() {
        const int preferred = preferredMove();
        int bestLived = -1;
        for (int k = 0; k < kMoves && bestLived < horizon_; ++k) {
            const int move = kOrder[preferred][k];
            for (int then = 0; then < kThens && bestLived < horizon_; ++then) {
                const int lived = lookAhead(move, static_cast<Then>(then));
                ++lookAheads_;
                if (lived > bestLived) bestLived = lived, move_ = move, then_ = static_cast<Then>(then);
            }
        }
        planFrame_ = 0;
        safeLeft_ = bestLived;
    }

    static constexpr int kMoves = 9;
    // What a look ahead does after the candidate's decision: head for the preferred spot again,
    // keep the move (a straight escape), or stand still.
    enum Then { ThenPreferred, ThenKeep, ThenStay };
    static constexpr int kThens = 3;
    // none, right, left, up, down, up-right, up-left, down-right, down-left
    static constexpr int kDx[kMoves] = {0, 1, -1, 0, 0, 1, -1, 1, -1};
    static constexpr int kDy[kMoves] = {0, 0, 0, -1, 1, -1, -1, 1, 1};
    // For each preferred move, every move from the nearest to it to the farthest.
    static constexpr int kOrder[kMoves][kMoves] = {
        {0, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 5, 7, 0, 3, 4, 6, 8, 2}, {2, 6, 8, 0, 3, 4, 5, 7, 1},
        {3, 5, 6, 0, 1, 2, 7, 8, 4}, {4, 7, 8, 0, 1, 2, 5, 6, 3}, {5, 1, 3, 0, 7, 6, 4, 2, 8},
        {6, 2, 3, 0, 8, 5, 4, 1, 7}, {7, 1, 4, 0, 5, 8, 3, 2, 6}, {8, 2, 4, 0, 6, 7, 3, 1, 5},
    };

    static std::uint8_t buttons(int move) {
        std::uint8_t b = PlayHarness::bit(Button1);
        if (kDx[move] > 0) b |= PlayHarness::bit(Right);
        if (kDx[move] < 0) b |= PlayHarness::bit(Left);
        if (kDy[move] < 0) b |= PlayHarness::bit(Up);
        if (kDy[move] > 0) b |= PlayHarness::bit(Down);
        return b;
    }

    // The enemy with the most hit points that shots can wear down, high enough on the field to
    // stand under (the second boss's hull takes shots without harm: its parts are the aim).
    static void sturdiest(Character& root, std::int32_t& most, Fixed16& x) {
        for (Character* c : root.GetChildren()) {
            auto* enemy = static_cast<CharacterEnemy*>(c);
            if (enemy->hitPoints > most && !dynamic_cast<CharacterEnemyBoss2*>(c) && c->y > toFixed(-16) &&
                c->y < toFixed(300) && c->x > 0 && c->x < toFixed(480))
                most = enemy->hitPoints, x = c->x;
            sturdiest(*c, most, x);
        }
    }

    // Towards the point under the sturdiest enemy, low on the screen.
    int preferredMove() {
        GameMain& game = play_.game();
        Fixed16 targetX = toFixed(240), targetY = toFixed(500);
        if (aim_) {
            int x = 240, y = 500;
            aim_(play_, x, y);
            targetX = toFixed(x);
            targetY = toFixed(y);
        } else {
            std::int32_t most = 0;
            sturdiest(game.enemyRoot(), most, targetX);
        }
        const CharacterPlayer& ship = game.player();
        const Fixed16 dx = targetX - ship.x, dy = targetY - ship.y;
        const int sx = dx > toFixed(6) ? 1 : dx < -toFixed(6) ? -1 : 0;
        const int sy = dy > toFixed(6) ? 1 : dy < -toFixed(6) ? -1 : 0;
        for (int m = 0; m < kMoves; ++m)
            if (kDx[m] == sx && kDy[m] == sy) return m;
        return 0;
    }

    std::int32_t livesLost(std::int32_t lives0, bool extended0) {
        const CharacterPlayer& ship = play_.game().player();
        return lives0 + (ship.extended && !extended0 ? 1 : 0) - ship.lives;
    }

    // Frames the ship lives when it holds the move for one decision and then heads for its
    // preferred spot again; the horizon when it lives through it.
    int lookAhead(int move, Then then) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            std::perror("fork");
            std::exit(1);
        }
        if (child == 0) {
            const CharacterPlayer& ship = play_.game().player();
            const std::int32_t lives0 = ship.lives;
            const bool extended0 = ship.extended;
            int f = 0, m = move;
            while (f < horizon_ && !play_.ended()) {
                if (f >= decision_ && f % decision_ == 0)
                    m = then == ThenPreferred ? preferredMove() : then == ThenKeep ? move : 0;
                play_.step(buttons(m));
                if (livesLost(lives0, extended0) > 0) _exit(f);
                ++f;
            }
            _exit(horizon_);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    }

    PlayHarness& play_;
    int decision_;
    int horizon_;
    Aim aim_;
    long lookAheads_ = 0;
    int move_ = 0;
    Then then_ = ThenPreferred;
    int planFrame_ = 0;
    int safeLeft_ = 0;
};
