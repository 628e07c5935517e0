// Records the sprite, sound and music requests of the game while alive.
#pragma once

#include <vector>

#include "game/shell/assets.h"

struct SpriteCall {
    int slot, x, y, srcX, srcY, w, h;
    bool operator==(const SpriteCall&) const = default;
};

struct CallLog {
    std::vector<SpriteCall> sprites;
    std::vector<int> sounds;
    std::vector<int> music;

    CallLog() {
        Active() = this;
        AssetObservers.drawSprite = [](int slot, int x, int y, int sx, int sy, int w, int h) {
            Active()->sprites.push_back({slot, x, y, sx, sy, w, h});
        };
        AssetObservers.playSound = [](int slot) { Active()->sounds.push_back(slot); };
        AssetObservers.playMusic = [](int slot) { Active()->music.push_back(slot); };
    }
    ~CallLog() {
        AssetObservers = AssetHooks{};
        Active() = nullptr;
    }
    CallLog(const CallLog&) = delete;
    CallLog& operator=(const CallLog&) = delete;

    void Clear() {
        sprites.clear();
        sounds.clear();
        music.clear();
    }
    std::vector<SpriteCall> OfSlot(int slot) const {
        std::vector<SpriteCall> out;
        for (const SpriteCall& c : sprites)
            if (c.slot == slot) out.push_back(c);
        return out;
    }
    int CountSound(int slot) const {
        int n = 0;
        for (int s : sounds) n += s == slot;
        return n;
    }

    static CallLog*& Active() {
        static CallLog* active = nullptr;
        return active;
    }
};
