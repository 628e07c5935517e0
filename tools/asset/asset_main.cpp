// quellbore-asset SUBCOMMAND ...: image, text, sound.
#include <cstdio>
#include <cstring>

#include "tools/asset/asset.h"

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fprintf(argc < 2 ? stderr : stdout,
                     "usage: quellbore-asset image [--stored] [--key RRGGBB] FILE OUT.png\n"
                     "       quellbore-asset text ...\n"
                     "       quellbore-asset sound ...\n");
        return argc < 2 ? 2 : 0;
    }
    // Each subcommand sees its own name as argv[0].
    if (std::strcmp(argv[1], "image") == 0) return AssetImageCommand(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "text") == 0) return AssetTextCommand(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "sound") == 0) return AssetSoundCommand(argc - 1, argv + 1);
    std::fprintf(stderr, "quellbore-asset: unknown subcommand %s\n", argv[1]);
    return 2;
}
