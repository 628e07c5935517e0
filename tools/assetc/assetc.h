// assetc: builds the game's run-time data (pictures, sound effects, music)
// from the readable sources under assets/. Everything it writes depends only
// on its input files, so the same sources always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetc {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

inline bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
inline bool operator!=(Rgb a, Rgb b) { return !(a == b); }

// A picture in memory; (0, 0, 0) is the transparent colour of the game.
struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
};

Canvas MakeCanvas(int width, int height);
bool InCanvas(const Canvas& c, int x, int y);
Rgb GetPixel(const Canvas& c, int x, int y);  // transparent outside
void SetPixel(Canvas& c, int x, int y, Rgb v);  // ignored outside
bool IsClear(Rgb v);

enum class PictureFormat { Png, Bmp, Tga };

// Writers return an empty string on success, else a message.
std::string WritePng(const Canvas& c, const std::string& path);
std::string WriteBmp(const Canvas& c, const std::string& path);
std::string WriteTga(const Canvas& c, const std::string& path);

// Picture sources (.pic): see assets/README.md for the language.
struct Picture {
    Canvas canvas;
    PictureFormat format = PictureFormat::Png;
};
std::string CompilePicture(const std::string& sourcePath, Picture& out);

// Procedural drawing used by picture sources ("proc NAME args...").
// Returns an empty string on success, else a message.
std::string RunProcedure(Canvas& c, const std::string& name, const std::vector<std::string>& args,
                         const std::vector<Rgb>& palette, const std::vector<bool>& paletteSet);

// Deterministic pseudo-random numbers for textures and noise.
struct Rng {
    uint32_t state;
    explicit Rng(uint32_t seed) : state(seed ? seed : 1u) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return n <= 0 ? 0 : int(Next() % uint32_t(n)); }
    double Unit() { return double(Next() & 0xFFFFFF) / double(0x1000000); }
};

// Sound effects (.sfx) to 16-bit PCM WAV, music (.mus) to Ogg Vorbis.
constexpr int kSampleRate = 44100;
std::string CompileSound(const std::string& sourcePath, std::vector<int16_t>& samples);
std::string WriteWav(const std::vector<int16_t>& samples, int channels, int rate, const std::string& path);
std::string CompileMusic(const std::string& sourcePath, std::vector<float>& left, std::vector<float>& right);
std::string WriteOgg(const std::vector<float>& left, const std::vector<float>& right, int rate,
                     const std::string& path);

// The desktop icons OUT_DIR/quellbore-SIZE.png (16 to 256 pixels) from the
// picture sources.
std::string WriteIcons(const std::string& picturesDir, const std::string& outDir);

// Shared text helpers.
bool ReadTextFile(const std::string& path, std::string& text);
std::vector<std::string> SplitWords(const std::string& line);
std::string Trim(const std::string& s);

}  // namespace assetc
