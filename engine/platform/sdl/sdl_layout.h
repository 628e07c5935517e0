// Where the picture goes in the window, kept free of SDL headers so that
// it can be checked without a display.
#pragma once

struct SdlPictureRect {
    int x, y, w, h;
};

// A w x h picture in an outW x outH drawable: the largest whole multiple
// that fits, centred (the rest stays black). A drawable smaller than the
// picture gets it shrunk to fit, keeping its shape.
inline SdlPictureRect SdlFitWhole(int w, int h, int outW, int outH) {
    if (w <= 0 || h <= 0 || outW <= 0 || outH <= 0) return {0, 0, outW > 0 ? outW : 0, outH > 0 ? outH : 0};
    int k = outW / w < outH / h ? outW / w : outH / h;
    int pw, ph;
    if (k >= 1) {
        pw = w * k;
        ph = h * k;
    } else if ((long long)outW * h <= (long long)outH * w) {
        pw = outW;
        ph = (int)((long long)h * outW / w);
    } else {
        ph = outH;
        pw = (int)((long long)w * outH / h);
    }
    return {(outW - pw) / 2, (outH - ph) / 2, pw, ph};
}
