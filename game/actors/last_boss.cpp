#include "game/actors/last_boss.h"

#include <cmath>

#include "game/actors/enemy.h"
#include "game/shell/assets.h"
#include "game/shell/game_state.h"
#include "game/world/field.h"
#include "game/actors/player.h"

LastBoss TheLastBoss;

void LastBoss::Reset() {
    state = 1;
    timer = 0;
    dir = 0;
    x = 16.0;
    y = 16.0;
    vx = 0.0;
    vy = 0.0;
    gravity = 0.0;
    width = 48;
    height = 48;
    active = false;
    code = 0;
    hp = 0;
    animStep = 1;
    animFrame = 0;
}

void LastBoss::Spawn(int c, int row, int cell) {
    if (c != LastBossCode) return;
    animPeriod = 20;
    code = LastBossCode;
    phase = 0;
    x = 16.0 * row;
    y = 16.0 * cell - 32;
    width = height = 48;
    active = true;
    hp = 10;
    timer = 0;
    image = LastBossImageSlot1;
}

namespace {
void Fly(LastBoss& b) {
    b.timer += 1;
    b.vx = -1.5 * std::sin(0.01 * b.timer);
    b.vy = 1.5 * std::cos(0.02 * b.timer);
    b.dir = b.vx >= 0 ? 1 : 0;
}
}  // namespace

void LastBoss::Act() {
    if (!active) return;
    // A transition said to happen "at once" runs the next phase's frame too;
    // the others take effect from the next frame.
    switch (phase) {
    case 0:
        timer += 1;
        if (timer == 230) {
            timer = 0;
            phase = 1;
            x -= 16;
            y -= 64;
            width = 64;
            height = 48;
            image = LastBossImageSlot2;
            PlayMusic(MusicBoss);
        }
        break;
    case 1:
        Fly(*this);
        if (timer % 300 == 0) phase = 2;
        break;
    case 2:
        Fly(*this);
        if (timer % 70 == 0) {
            phase = 1;
            PlaySound(SoundBossSummon);
            for (int i = 0; i < 5; ++i) SpawnEnemyAt(KindBossSpark, TruncToInt(x + 16), TruncToInt(y - 1), dir);
        }
        break;
    case 10:
        PlaySound(SoundBossThud);
        timer = 0;
        vx = vy = 0;
        phase = 11;
        [[fallthrough]];
    case 11:
        timer += 1;
        if (timer > 99) {
            phase = 12;
            timer = 0;
            y = 0;
            width = 80;
            height = 64;
            image = LastBossImageSlot3;
            dir = 0;
        }
        break;
    case 12:
        timer += 1;
        vx = Player.x < x + width / 2 ? -0.5 : 0.5;
        if (GameState.StageTimer > 0 && timer % 100 == 0) {
            PlaySound(SoundBossSummon);
            for (int i = 0; i < 8; ++i)
                SpawnEnemyAt(KindBossSpark, TruncToInt(x + width / 2 - 8), TruncToInt(y + height - 16), dir);
        }
        break;
    case 13:
        PlaySound(SoundBossThud);
        timer = 0;
        animPeriod = 50;
        vx = vy = 0;
        animTimer = 0;
        animFrame = 0;
        animStep = 1;
        SpawnEnemyAt(KindChaserBait, TruncToInt(x + width / 2 - 8), TruncToInt(y + height - 16), dir);
        phase = 14;
        [[fallthrough]];
    case 14:
        timer += 1;
        if (timer > 119) active = false;
        break;
    default: break;
    }
    animTimer += 1;
    if (animTimer > animPeriod) {
        animFrame += animStep;
        if (animFrame <= 0 || animFrame >= 2) animStep = -animStep;
        animTimer = 0;
    }
}

void LastBoss::Move() {
    if (!active) return;
    MoveStep();
    Collide();
}

void LastBoss::Collide() {
    // Touching the boss kills in every phase, the intro and the fading included.
    if (Player.state == PlayerAlive &&
        RectsOverlap(MakeRect(TruncToInt(Player.x), TruncToInt(Player.y + 2), Player.width, Player.height - 4),
                     MakeRect(TruncToInt(x), TruncToInt(y), width, height))) {
        Player.vy = -2.5;
        Player.state = PlayerDying;
    }
}

void LastBoss::Draw() {
    if (!active) return;
    int column = phase == 2 ? 3 : animFrame;
    int srcY = phase < 13 ? dir * height : height;
    DrawSprite(image, TruncToInt(x) - Player.scrollX, TruncToInt(y), column * width, srcY, width, height);
    bool flash = (phase == 0 && (timer == 150 || timer == 160 || timer == 170 || InRange(timer, 180, 250))) ||
                 (phase == 11 && (timer == 10 || timer == 20 || timer == 30 || InRange(timer, 40, 110)));
    if (flash) FillScreenWithTile(4, 1);
}
