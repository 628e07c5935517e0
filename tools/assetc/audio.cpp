// Sound effects (.sfx) and music (.mus): chip-style band-limited
// oscillators, noise, envelopes, pitch and pulse-width sweeps, rendered at
// 44100 Hz.
//
// A piece of music loops as a whole: note tails that run past its end are
// mixed back onto its start, and the file starts at a quiet point of that
// circle, so its last sample meets its first.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "tools/assetc/assetc.h"

namespace assetc {

namespace {

constexpr double kPi = 3.14159265358979323846;

enum class Wave { Square, Triangle, Saw, Sine, Noise };

bool ParseWave(const std::string& s, Wave& w) {
    if (s == "square") w = Wave::Square;
    else if (s == "triangle") w = Wave::Triangle;
    else if (s == "saw") w = Wave::Saw;
    else if (s == "sine") w = Wave::Sine;
    else if (s == "noise") w = Wave::Noise;
    else return false;
    return true;
}

// PolyBLEP: the residual that turns a naive unit step (a jump of 2) at
// phase 0 into a band-limited one; t is the phase, dt the phase step.
double PolyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// PolyBLAMP: the same for a corner at phase 0; scale it by half the jump
// in slope per sample.
double PolyBlamp(double t, double dt) {
    if (t < dt) {
        t = t / dt - 1.0;
        return -t * t * t / 3.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt + 1.0;
        return t * t * t / 3.0;
    }
    return 0.0;
}

double Wrap01(double t) { return t - floor(t); }

// One band-limited oscillator with its own phase and noise register. Every
// wave is centred on zero: a pulse of any duty has no DC offset.
struct Osc {
    Wave wave = Wave::Square;
    double duty = 0.5;
    double phase = 0.0;
    uint32_t lfsr = 0x7FFF;
    double noiseNow = 1.0, noiseNext = -1.0, noiseJump = 0.0;
    bool shortNoise = false;

    double NextNoise() {
        // 15-bit shift register like the old sound chips.
        uint32_t bit = ((lfsr >> 0) ^ (lfsr >> (shortNoise ? 6 : 1))) & 1u;
        lfsr = (lfsr >> 1) | (bit << 14);
        return (lfsr & 1u) ? 1.0 : -1.0;
    }

    double Step(double freq) { return Step(freq, duty); }
    double Step(double freq, double pulseDuty) {
        if (wave == Wave::Noise) freq = std::min(freq, 0.5 * kSampleRate);
        double dt = freq / kSampleRate;
        double v = 0.0;
        if (dt <= 0.0) return 0.0;
        if (dt >= 0.5 && wave != Wave::Noise) {
            // Above half the sample rate nothing of the wave is audible.
            phase = Wrap01(phase + dt);
            return 0.0;
        }
        const double t = phase;
        switch (wave) {
            case Wave::Square: {
                const double d = std::clamp(pulseDuty, 0.02, 0.98);
                v = t < d ? 1.0 : -1.0;
                v += PolyBlep(t, dt) - PolyBlep(Wrap01(t - d), dt);
                v -= 2.0 * d - 1.0;  // a pulse's mean
                break;
            }
            case Wave::Triangle:
                v = t < 0.5 ? 4.0 * t - 1.0 : 3.0 - 4.0 * t;
                v += 4.0 * dt * (PolyBlamp(t, dt) - PolyBlamp(Wrap01(t - 0.5), dt));
                break;
            case Wave::Saw: v = 2.0 * t - 1.0 - PolyBlep(t, dt); break;
            case Wave::Sine: v = sin(2.0 * kPi * t); break;
            case Wave::Noise:
                v = noiseNow;
                if (t < dt) v += 0.5 * noiseJump * PolyBlep(t, dt);
                if (t > 1.0 - dt) v += 0.5 * (noiseNext - noiseNow) * PolyBlep(t, dt);
                break;
        }
        phase += dt;
        if (phase >= 1.0) {
            phase -= 1.0;
            if (wave == Wave::Noise) {
                noiseJump = noiseNext - noiseNow;
                noiseNow = noiseNext;
                noiseNext = NextNoise();
            }
        }
        return v;
    }
};

struct Envelope {
    double a = 0.005, d = 0.05, s = 0.7, r = 0.05;
    // Level at time t for a note held for `held` seconds.
    double Level(double t, double held) const {
        double lv;
        if (t < a) lv = a > 0 ? t / a : 1.0;
        else if (t < a + d) lv = 1.0 - (1.0 - s) * (d > 0 ? (t - a) / d : 1.0);
        else lv = s;
        if (t >= held) {
            // Release from the level reached at note-off.
            double atOff = Level(std::min(held, t), held + 1e9);
            double rt = t - held;
            lv = r > 0 ? atOff * std::max(0.0, 1.0 - rt / r) : 0.0;
        }
        return lv;
    }
};

bool ParseNumber(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = strtod(s.c_str(), &end);
    return *end == 0 && std::isfinite(v);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char ch : text) {
        if (ch == '\n') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

std::string StripComment(const std::string& l) {
    size_t h = l.find('#');
    return Trim(h == std::string::npos ? l : l.substr(0, h));
}

// ------------------------------------------------------------ sound effects

struct SfxVoice {
    Wave wave = Wave::Square;
    double duty = 0.5, start = 0.0, len = 0.1, f0 = 440, f1 = -1, vol = 1.0;
    bool expSweep = true;
    Envelope env;
    double vib = 0, depth = 0;
    std::vector<double> arp;
    double step = 0.05;
    bool shortNoise = false;
    double pwm = 0, pwmDepth = 0;  // pulse-width sweep: rate (Hz) and reach
};

std::string ParseSfxVoice(const std::vector<std::string>& w, SfxVoice& v) {
    for (size_t i = 1; i < w.size(); ++i) {
        size_t eq = w[i].find('=');
        if (eq == std::string::npos) return "expected key=value, got " + w[i];
        std::string key = w[i].substr(0, eq), val = w[i].substr(eq + 1);
        double n = 0;
        if (key == "wave") {
            if (!ParseWave(val, v.wave)) return "unknown wave " + val;
            continue;
        }
        if (key == "sweep") {
            if (val != "exp" && val != "lin") return "sweep exp|lin";
            v.expSweep = val == "exp";
            continue;
        }
        if (key == "noise") {
            v.shortNoise = val == "short";
            continue;
        }
        if (key == "arp") {
            std::string cur;
            for (char ch : val + ",") {
                if (ch == ',') {
                    if (!ParseNumber(cur, n)) return "arp needs semitones like 0,4,7";
                    v.arp.push_back(n);
                    cur.clear();
                } else {
                    cur += ch;
                }
            }
            continue;
        }
        if (!ParseNumber(val, n)) return "not a number: " + w[i];
        if (key == "duty") v.duty = n;
        else if (key == "start") v.start = n;
        else if (key == "len") v.len = n;
        else if (key == "f") v.f0 = n;
        else if (key == "to") v.f1 = n;
        else if (key == "vol") v.vol = n;
        else if (key == "a") v.env.a = n;
        else if (key == "d") v.env.d = n;
        else if (key == "s") v.env.s = n;
        else if (key == "r") v.env.r = n;
        else if (key == "vib") v.vib = n;
        else if (key == "depth") v.depth = n;
        else if (key == "step") v.step = n;
        else if (key == "pwm") v.pwm = n;
        else if (key == "pwmdepth") v.pwmDepth = n;
        else return "unknown key " + key;
    }
    if (v.len <= 0 || v.len > 5 || v.start < 0 || v.start > 5) return "start and len must lie in 0..5 s";
    if (v.f0 <= 0 || v.f0 > 40000 || v.f1 > 40000) return "frequency out of range";
    if (v.step <= 0) return "step must be positive";
    return {};
}

// Levels of the finished sounds (fractions of full scale): the loudest
// 50 ms of every effect, and of every tune, are alike; peaks stay clear of
// full scale, leaving the mixer room for several sounds at once.
constexpr double kEffectLoudness = 0.24;
constexpr double kEffectPeak = 0.80;
constexpr double kMusicLoudness = 0.20;
constexpr double kMusicPeak = 0.70;

// RMS of the loudest 50 ms (windows overlapping by half), over both channels.
double Loudness(const std::vector<double>& l, const std::vector<double>& r) {
    const size_t n = l.size(), window = std::min<size_t>(n, kSampleRate / 20);
    double best = 0;
    for (size_t at = 0; at + window <= n; at += std::max<size_t>(1, window / 2)) {
        double s = 0;
        for (size_t i = at; i < at + window; ++i) s += l[i] * l[i] + r[i] * r[i];
        best = std::max(best, sqrt(s / double(2 * window)));
    }
    return std::max(best, 1e-9);
}

// Takes out the mean under a raised-cosine window, so the first and last
// sample keep their value (silence stays silence) and the mean becomes 0.
void RemoveMean(std::vector<double>& x) {
    const size_t n = x.size();
    if (n < 3) return;
    double sum = 0, wsum = 0;
    std::vector<double> w(n);
    for (size_t i = 0; i < n; ++i) {
        w[i] = 0.5 - 0.5 * cos(2.0 * kPi * double(i) / double(n - 1));
        sum += x[i];
        wsum += w[i];
    }
    const double c = sum / wsum;
    for (size_t i = 0; i < n; ++i) x[i] -= c * w[i];
}

}  // namespace

std::string CompileSound(const std::string& sourcePath, std::vector<int16_t>& samples) {
    std::string text;
    if (!ReadTextFile(sourcePath, text)) return "cannot read " + sourcePath;
    std::vector<SfxVoice> voices;
    double gain = 1.0;
    int lineNo = 0;
    for (const std::string& raw : Lines(text)) {
        ++lineNo;
        std::string l = StripComment(raw);
        if (l.empty()) continue;
        std::vector<std::string> w = SplitWords(l);
        std::string where = sourcePath + ":" + std::to_string(lineNo) + ": ";
        if (w[0] == "gain") {
            if (w.size() != 2 || !ParseNumber(w[1], gain) || gain <= 0 || gain > 1) return where + "gain 0..1";
        } else if (w[0] == "voice") {
            SfxVoice v;
            std::string err = ParseSfxVoice(w, v);
            if (!err.empty()) return where + err;
            voices.push_back(v);
        } else {
            return where + "unknown command " + w[0];
        }
    }
    if (voices.empty()) return sourcePath + ": no voice";
    double total = 0;
    for (const SfxVoice& v : voices) total = std::max(total, v.start + v.len);
    size_t n = size_t(ceil(total * kSampleRate)) + 1;
    std::vector<double> mix(n, 0.0);
    for (const SfxVoice& v : voices) {
        Osc osc;
        osc.wave = v.wave;
        osc.duty = v.duty;
        osc.shortNoise = v.shortNoise;
        size_t s0 = size_t(v.start * kSampleRate), len = size_t(v.len * kSampleRate);
        double f1 = v.f1 > 0 ? v.f1 : v.f0;
        for (size_t i = 0; i < len && s0 + i < n; ++i) {
            double t = double(i) / kSampleRate, u = t / v.len;
            double f = v.expSweep ? v.f0 * pow(f1 / v.f0, u) : v.f0 + (f1 - v.f0) * u;
            if (!v.arp.empty()) f *= pow(2.0, v.arp[size_t(t / v.step) % v.arp.size()] / 12.0);
            if (v.vib > 0) f *= 1.0 + v.depth * sin(2 * kPi * v.vib * t);
            double lv = v.env.Level(t, v.len - v.env.r);
            double duty = v.duty + v.pwmDepth * sin(2 * kPi * v.pwm * t);
            mix[s0 + i] += osc.Step(f, duty) * lv * v.vol;
        }
    }
    // Fade the last two milliseconds to silence, so no effect ends on a click.
    size_t fade = std::min<size_t>(n, kSampleRate / 500);
    for (size_t i = 0; i < fade; ++i) mix[n - 1 - i] *= 0.5 - 0.5 * cos(kPi * double(i) / double(fade));
    mix[0] = 0.0;
    RemoveMean(mix);
    // Normalise: no effect much louder than another, whether it is a thin
    // beep or a dense noise burst, and none near full scale.
    double peak = 0;
    for (double s : mix) peak = std::max(peak, fabs(s));
    if (peak <= 0) return sourcePath + ": silent";
    double scale = std::min(kEffectPeak / peak, kEffectLoudness / Loudness(mix, mix)) * gain;
    samples.resize(n);
    for (size_t i = 0; i < n; ++i) samples[i] = int16_t(lround(std::clamp(mix[i] * scale, -1.0, 1.0) * 32767.0));
    return {};
}

// -------------------------------------------------------------------- music

namespace {

struct MusicVoice {
    std::string name;
    Wave wave = Wave::Square;
    bool drums = false;
    double duty = 0.5, vol = 0.3, pan = 0.0, gate = 0.9;
    Envelope env;
    double vib = 0, depth = 0, vibDelay = 0.15;
    double echo = 0, echoBeats = 0.75;
    double detune = 0;  // cents, a second oscillator for a chorus
    double pwm = 0, pwmDepth = 0;  // pulse-width sweep: rate (Hz) and reach
    std::string score;
};

struct Note {
    double beat, beats, held;  // start, length in beats, held fraction
    int midi;                  // -1 rest; drums: the letter of the drum
    double vol;
};

struct MmlParser {
    std::string s;
    size_t pos = 0;
    bool drums;
    std::string error;
    int octave = 4;
    double defLen = 1.0;  // beats
    double gate;
    double vol = 1.0;
    double beat = 0.0;
    std::vector<Note> notes;

    MmlParser(const std::string& text, bool isDrums, double g) : s(text), drums(isDrums), gate(g) {}

    bool Digits(int& v) {
        size_t b = pos;
        v = 0;
        while (pos < s.size() && isdigit(static_cast<unsigned char>(s[pos]))) {
            v = v * 10 + (s[pos] - '0');
            if (v > 100000) return false;
            ++pos;
        }
        return pos > b;
    }
    // Length: 4 = a quarter note (one beat); dots add halves.
    double Length() {
        int n;
        double len = defLen;
        if (Digits(n)) {
            if (n <= 0 || n > 96) {
                error = "length must be 1..96";
                return 1;
            }
            len = 4.0 / n;
        }
        double add = len / 2;
        while (pos < s.size() && s[pos] == '.') {
            len += add;
            add /= 2;
            ++pos;
        }
        return len;
    }
    void Parse(int depth) {
        if (depth > 8) {
            error = "repeats nested too deep";
            return;
        }
        while (pos < s.size() && error.empty()) {
            char ch = char(tolower(static_cast<unsigned char>(s[pos])));
            if (ch == ' ' || ch == '\t' || ch == '|') {
                ++pos;
            } else if (ch == '[') {
                ++pos;
                size_t bodyStart = pos;
                // Find the matching bracket, then parse the body n times.
                int level = 1;
                size_t q = pos;
                while (q < s.size() && level > 0) {
                    if (s[q] == '[') ++level;
                    if (s[q] == ']') --level;
                    ++q;
                }
                if (level != 0) {
                    error = "unclosed [";
                    return;
                }
                size_t close = q - 1;
                pos = q;
                int times = 2;
                int t;
                if (Digits(t)) times = t;
                if (times < 1 || times > 64) {
                    error = "repeat count 1..64";
                    return;
                }
                size_t after = pos;
                for (int k = 0; k < times && error.empty(); ++k) {
                    MmlParser sub(s.substr(bodyStart, close - bodyStart), drums, gate);
                    sub.octave = octave;
                    sub.defLen = defLen;
                    sub.vol = vol;
                    sub.beat = beat;
                    sub.Parse(depth + 1);
                    if (!sub.error.empty()) error = sub.error;
                    notes.insert(notes.end(), sub.notes.begin(), sub.notes.end());
                    beat = sub.beat;
                    octave = sub.octave;
                    defLen = sub.defLen;
                    vol = sub.vol;
                    gate = sub.gate;
                }
                pos = after;
            } else if (ch == ']') {
                error = "unmatched ]";
            } else if (ch == 'o' && !drums) {
                ++pos;
                if (!Digits(octave) || octave > 8) error = "octave 0..8";
            } else if (ch == '<') {
                --octave;
                ++pos;
            } else if (ch == '>') {
                ++octave;
                ++pos;
            } else if (ch == 'l') {
                ++pos;
                defLen = Length();
            } else if (ch == 'v') {
                ++pos;
                int v;
                if (!Digits(v) || v > 15) error = "volume 0..15";
                vol = v / 15.0;
            } else if (ch == 'q') {
                ++pos;
                int q;
                if (!Digits(q) || q < 1 || q > 8) error = "gate q1..q8";
                gate = q / 8.0;
            } else if (ch == '^') {
                ++pos;
                double len = Length();
                if (notes.empty()) {
                    error = "^ without a note";
                    return;
                }
                notes.back().beats += len;
                beat += len;
            } else if (ch == 'r') {
                ++pos;
                beat += Length();
            } else if (drums && strchr("kshoctpx", ch) != nullptr) {
                ++pos;
                double len = Length();
                notes.push_back({beat, len, gate, ch, vol});
                beat += len;
            } else if (!drums && ch >= 'a' && ch <= 'g') {
                static const int semis[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
                int semi = semis[ch - 'a'];
                ++pos;
                while (pos < s.size() && (s[pos] == '+' || s[pos] == '#' || s[pos] == '-')) {
                    semi += s[pos] == '-' ? -1 : 1;
                    ++pos;
                }
                double len = Length();
                notes.push_back({beat, len, gate, 12 * (octave + 1) + semi, vol});
                beat += len;
            } else {
                error = std::string("unexpected '") + s[pos] + "'";
            }
        }
    }
};

std::string ParseMusicVoice(const std::vector<std::string>& w, MusicVoice& v) {
    if (w.size() < 3) return "voice NAME WAVE|drums key=value...";
    v.name = w[1];
    if (w[2] == "drums") {
        v.drums = true;
        v.wave = Wave::Noise;
    } else if (!ParseWave(w[2], v.wave)) {
        return "unknown wave " + w[2];
    }
    for (size_t i = 3; i < w.size(); ++i) {
        size_t eq = w[i].find('=');
        double n;
        if (eq == std::string::npos || !ParseNumber(w[i].substr(eq + 1), n)) return "expected key=number: " + w[i];
        std::string key = w[i].substr(0, eq);
        if (key == "duty") v.duty = n;
        else if (key == "vol") v.vol = n;
        else if (key == "pan") v.pan = std::clamp(n, -1.0, 1.0);
        else if (key == "gate") v.gate = n;
        else if (key == "a") v.env.a = n;
        else if (key == "d") v.env.d = n;
        else if (key == "s") v.env.s = n;
        else if (key == "r") v.env.r = n;
        else if (key == "vib") v.vib = n;
        else if (key == "depth") v.depth = n;
        else if (key == "vibdelay") v.vibDelay = n;
        else if (key == "echo") v.echo = std::clamp(n, 0.0, 0.8);
        else if (key == "echobeats") v.echoBeats = n;
        else if (key == "detune") v.detune = n;
        else if (key == "pwm") v.pwm = std::max(0.0, n);
        else if (key == "pwmdepth") v.pwmDepth = std::clamp(n, 0.0, 0.45);
        else return "unknown key " + key;
    }
    return {};
}

// Noise through a one-pole high-pass (cut in Hz), for cymbals and hats.
struct Hiss {
    Osc noise;
    double prevIn = 0, out = 0, k;
    explicit Hiss(double cut) : k(exp(-2 * kPi * cut / kSampleRate)) { noise.wave = Wave::Noise; }
    double Step(double clock) {
        double in = noise.Step(clock);
        out = k * (out + in - prevIn);
        prevIn = in;
        return out;
    }
};

// Adds one drum hit into a circular buffer (tails wrap round the loop).
void RenderDrum(std::vector<double>& buf, size_t at, int kind, double vol) {
    const size_t n = buf.size();
    auto add = [&](size_t i, double v) { buf[(at + i) % n] += v * vol; };
    Osc noise;
    noise.wave = Wave::Noise;
    Osc tone;
    tone.wave = Wave::Sine;
    switch (kind) {
        case 'k': {  // kick: a sine dropping fast, a soft click on top
            Osc body;
            body.wave = Wave::Triangle;
            size_t len = size_t(0.22 * kSampleRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate, f = 48.0 + 140.0 * exp(-t * 32.0);
                double v = (0.7 * tone.Step(f) + 0.3 * body.Step(f)) * exp(-t * 13.0);
                if (i < 220) v += noise.Step(8000) * 0.25 * (1.0 - i / 220.0);
                add(i, v * std::min(1.0, double(i) / 20.0));
            }
            break;
        }
        case 's': {  // snare: bright noise over a falling body tone
            Hiss hiss(900);
            Osc body;
            body.wave = Wave::Triangle;
            size_t len = size_t(0.18 * kSampleRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate;
                double v = hiss.Step(16000) * exp(-t * 20.0) * 1.1 + body.Step(200.0 - 70 * t) * exp(-t * 28.0) * 0.5;
                add(i, v * std::min(1.0, double(i) / 20.0));
            }
            break;
        }
        case 'h':
        case 'o':
        case 'c': {  // closed and open hats, crash: high hiss of three lengths
            Hiss hiss(kind == 'c' ? 3500 : 6000);
            double decay = kind == 'h' ? 60.0 : (kind == 'o' ? 11.0 : 3.2);
            double gain = kind == 'c' ? 0.55 : 0.5;
            size_t len = size_t((kind == 'h' ? 0.07 : (kind == 'o' ? 0.3 : 1.2)) * kSampleRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate, fade = std::min(1.0, double(len - i) / 400.0);
                add(i, hiss.Step(22050) * gain * exp(-t * decay) * fade * std::min(1.0, double(i) / 10.0));
            }
            break;
        }
        case 't': {  // tom: a round tone that bends down
            size_t len = size_t(0.3 * kSampleRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate, f = 95.0 + 80.0 * exp(-t * 12.0);
                add(i, tone.Step(f) * exp(-t * 9.0) * 0.9 * std::min(1.0, double(i) / 20.0));
            }
            break;
        }
        case 'p': {  // clap: three quick bursts and a short tail
            Hiss hiss(1200);
            size_t len = size_t(0.2 * kSampleRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate, env;
                if (t < 0.03) env = exp(-fmod(t, 0.01) * 250.0);
                else env = exp(-(t - 0.03) * 18.0);
                add(i, hiss.Step(18000) * env * 0.9 * std::min(1.0, double(i) / 10.0));
            }
            break;
        }
        case 'x': {  // rim: a short wooden knock
            Osc knock;
            knock.wave = Wave::Triangle;
            Hiss hiss(2500);
            size_t len = size_t(0.05 * kSampleRate);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate;
                double v = knock.Step(820) * exp(-t * 90.0) * 0.8 + hiss.Step(16000) * exp(-t * 120.0) * 0.4;
                add(i, v * std::min(1.0, double(i) / 8.0));
            }
            break;
        }
    }
}

// Replaces every $NAME by the macro's notes (macros may use macros).
std::string ExpandMacros(const std::string& in, const std::map<std::string, std::string>& macros, int depth,
                         std::string& out) {
    if (depth > 8) return "macros nested too deep";
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '$') {
            out += in[i];
            continue;
        }
        size_t j = i + 1;
        while (j < in.size() && (isalnum(static_cast<unsigned char>(in[j])) || in[j] == '_')) ++j;
        std::string name = in.substr(i + 1, j - i - 1);
        auto it = macros.find(name);
        if (it == macros.end()) return "no macro named " + name;
        std::string inner;
        std::string err = ExpandMacros(it->second, macros, depth + 1, inner);
        if (!err.empty()) return err;
        out += " " + inner + " ";
        i = j - 1;
    }
    return {};
}

}  // namespace

std::string CompileMusic(const std::string& sourcePath, std::vector<float>& left, std::vector<float>& right) {
    std::string text;
    if (!ReadTextFile(sourcePath, text)) return "cannot read " + sourcePath;
    double tempo = 120;
    std::vector<MusicVoice> voices;
    std::map<std::string, size_t> byName;
    std::map<std::string, std::string> macros;
    int lineNo = 0;
    for (const std::string& raw : Lines(text)) {
        ++lineNo;
        std::string l = StripComment(raw);
        if (l.empty()) continue;
        std::string where = sourcePath + ":" + std::to_string(lineNo) + ": ";
        std::vector<std::string> w = SplitWords(l);
        size_t colon = l.find(':');
        if (w[0] == "tempo") {
            if (w.size() != 2 || !ParseNumber(w[1], tempo) || tempo < 30 || tempo > 300) return where + "tempo 30..300";
        } else if (w[0] == "title") {
            // A name for people reading the source; not rendered.
        } else if (w[0] == "macro") {
            if (w.size() < 3) return where + "macro NAME NOTES";
            macros[w[1]] = l.substr(l.find(w[1], 5) + w[1].size());
        } else if (w[0] == "voice") {
            MusicVoice v;
            std::string err = ParseMusicVoice(w, v);
            if (!err.empty()) return where + err;
            if (byName.count(v.name)) return where + "voice defined twice: " + v.name;
            byName[v.name] = voices.size();
            voices.push_back(v);
        } else if (colon != std::string::npos) {
            std::string name = Trim(l.substr(0, colon));
            auto it = byName.find(name);
            if (it == byName.end()) return where + "no voice named " + name;
            std::string expanded;
            std::string err = ExpandMacros(l.substr(colon + 1), macros, 0, expanded);
            if (!err.empty()) return where + err;
            voices[it->second].score += " " + expanded;
        } else {
            return where + "unknown command " + w[0];
        }
    }
    if (voices.empty()) return sourcePath + ": no voice";

    std::vector<std::vector<Note>> parsed;
    double beats = -1;
    for (const MusicVoice& v : voices) {
        MmlParser mp(v.score, v.drums, v.gate);
        mp.Parse(0);
        if (!mp.error.empty()) return sourcePath + ": voice " + v.name + ": " + mp.error;
        if (beats < 0) beats = mp.beat;
        // Every voice spans the whole loop, so the loop joins in time.
        if (fabs(mp.beat - beats) > 1e-6)
            return sourcePath + ": voice " + v.name + " lasts " + std::to_string(mp.beat) + " beats, the first voice " +
                   std::to_string(beats);
        parsed.push_back(mp.notes);
    }
    if (beats <= 0) return sourcePath + ": empty piece";
    double secondsPerBeat = 60.0 / tempo;
    size_t n = size_t(lround(beats * secondsPerBeat * kSampleRate));
    if (n / kSampleRate >= 180) return sourcePath + ": longer than 180 s";
    std::vector<double> mixL(n, 0.0), mixR(n, 0.0);
    for (size_t vi = 0; vi < voices.size(); ++vi) {
        const MusicVoice& v = voices[vi];
        std::vector<double> buf(n, 0.0);
        for (const Note& note : parsed[vi]) {
            size_t at = size_t(lround(note.beat * secondsPerBeat * kSampleRate));
            if (v.drums) {
                RenderDrum(buf, at, note.midi, note.vol);
                continue;
            }
            double freq = 440.0 * pow(2.0, (note.midi - 69) / 12.0);
            double held = note.beats * secondsPerBeat * note.held;
            size_t len = size_t((held + v.env.r) * kSampleRate) + 1;
            Osc a, b;
            a.wave = b.wave = v.wave;
            a.duty = b.duty = v.duty;
            double detune = pow(2.0, v.detune / 1200.0);
            for (size_t i = 0; i < len; ++i) {
                double t = double(i) / kSampleRate;
                double f = freq;
                if (v.vib > 0 && t > v.vibDelay)
                    f *= pow(2.0, v.depth / 12.0 * sin(2 * kPi * v.vib * (t - v.vibDelay)));
                double duty = v.duty + v.pwmDepth * sin(2 * kPi * v.pwm * t);
                double s = a.Step(f, duty);
                if (v.detune != 0) s = 0.6 * s + 0.6 * b.Step(f * detune, duty);
                buf[(at + i) % n] += s * v.env.Level(t, held) * note.vol;
            }
        }
        if (v.echo > 0) {
            // Feedback delay, run round the loop twice so the echo of the end
            // reaches the start as it will when the piece repeats.
            size_t d = size_t(lround(v.echoBeats * secondsPerBeat * kSampleRate)) % n;
            std::vector<double> wet(n, 0.0);
            for (int pass = 0; pass < 2; ++pass)
                for (size_t i = 0; i < n; ++i) wet[i] = v.echo * (buf[(i + n - d) % n] + wet[(i + n - d) % n]);
            for (size_t i = 0; i < n; ++i) buf[i] += wet[i];
        }
        double gl = v.vol * std::min(1.0, 1.0 - v.pan), gr = v.vol * std::min(1.0, 1.0 + v.pan);
        for (size_t i = 0; i < n; ++i) {
            mixL[i] += buf[i] * gl;
            mixR[i] += buf[i] * gr;
        }
    }
    // The loop has no DC: a constant shift keeps the join as it is.
    for (std::vector<double>* ch : {&mixL, &mixR}) {
        double sum = 0;
        for (double x : *ch) sum += x;
        const double mean = sum / double(n);
        for (double& x : *ch) x -= mean;
    }
    double peak = 0;
    for (size_t i = 0; i < n; ++i) peak = std::max({peak, fabs(mixL[i]), fabs(mixR[i])});
    if (peak <= 0) return sourcePath + ": silent";
    const double scale = std::min(kMusicPeak / peak, kMusicLoudness / Loudness(mixL, mixR));
    // The engine loops the file from its first sample to its last. Start it
    // where the circle is quiet and smooth, within a few milliseconds of the
    // downbeat: the last sample then meets the first, and the first play
    // starts without a click.
    const long reach = long(kSampleRate) / 200;
    long start = 0;
    double best = 1e9;
    for (long k = -reach; k <= reach; ++k) {
        size_t i = size_t((long(n) + k) % long(n)), p = (i + n - 1) % n;
        double step = std::max(fabs(mixL[i] - mixL[p]), fabs(mixR[i] - mixR[p]));
        double level = std::max(fabs(mixL[i]), fabs(mixR[i]));
        double cost = (step + 0.5 * level) * scale + 1e-7 * double(std::labs(k));
        if (cost < best) {
            best = cost;
            start = k;
        }
    }
    left.resize(n);
    right.resize(n);
    for (size_t i = 0; i < n; ++i) {
        size_t from = size_t((long(i) + start + long(n)) % long(n));
        left[i] = float(mixL[from] * scale);
        right[i] = float(mixR[from] * scale);
    }
    return {};
}

}  // namespace assetc
